#pragma once
// Certificates for the TLS tests, made when first asked for in a temporary
// folder that lives as long as the test program.

#include <filesystem>

namespace tarnlow::test {

struct CertificateFiles {
  std::filesystem::path certificate;  // PEM
  std::filesystem::path privateKey;   // PEM
};

struct TestCertificates {
  std::filesystem::path caFile;    // the local CA, to trust with SetCaFileForTest
  CertificateFiles good;           // signed by the CA for 127.0.0.1
  CertificateFiles wrongHost;      // signed by the CA for another host name
  CertificateFiles expired;        // signed by the CA for 127.0.0.1, validity over
  CertificateFiles notYetValid;    // signed by the CA for 127.0.0.1, validity to come
  CertificateFiles selfSigned;     // 127.0.0.1, signed by itself
  CertificateFiles unknownIssuer;  // 127.0.0.1, signed by a CA nobody trusts
};

// Aborts the test program when the certificates cannot be made.
const TestCertificates& Certificates();

}  // namespace tarnlow::test
