#pragma once
// The two stored shadow pictures as PNG bytes, made at build time by
// penumbrix-images (make_images.cpp).

#include <span>

namespace penumbrix {

std::span<const unsigned char> BlueFramePng();
std::span<const unsigned char> OrangeFramePng();

}  // namespace penumbrix
