#include "tests/support/certificates.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include "tests/support/support.h"

namespace tarnlow::test {
namespace {

constexpr long kDay = 24 * 60 * 60;

struct KeyDeleter {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertDeleter {
  void operator()(X509* cert) const { X509_free(cert); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyDeleter>;
using Cert = std::unique_ptr<X509, CertDeleter>;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "test certificates: %s failed\n", what);
  std::abort();
}

Key NewKey() {
  Key key(EVP_EC_gen("P-256"));
  if (!key) Fail("key generation");
  return key;
}

void AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  if (extension == nullptr || !X509_add_ext(cert, extension, -1)) Fail("certificate extension");
  X509_EXTENSION_free(extension);
}

struct CertificatePlan {
  const char* commonName;
  const char* altName;  // nullptr for a CA
  long notBefore;       // seconds from now
  long notAfter;
};

// Signed by issuer/issuerKey, or by itself when issuer is null.
Cert MakeCertificate(const CertificatePlan& plan, EVP_PKEY* key, X509* issuer,
                     EVP_PKEY* issuerKey) {
  static long serial = 1;
  Cert cert(X509_new());
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial++);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), plan.notBefore);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), plan.notAfter);
  X509_set_pubkey(cert.get(), key);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(plan.commonName), -1, -1, 0);
  X509* signer = issuer != nullptr ? issuer : cert.get();
  X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
  if (plan.altName == nullptr) {
    AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    AddExtension(cert.get(), signer, NID_basic_constraints, "CA:FALSE");
    AddExtension(cert.get(), signer, NID_subject_alt_name, plan.altName);
  }
  AddExtension(cert.get(), signer, NID_subject_key_identifier, "hash");
  if (!X509_sign(cert.get(), issuerKey != nullptr ? issuerKey : key, EVP_sha256())) {
    Fail("signing");
  }
  return cert;
}

void WriteCertificate(const std::filesystem::path& path, X509* cert) {
  FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr || !PEM_write_X509(file, cert)) Fail("writing a certificate");
  std::fclose(file);
}

void WriteKey(const std::filesystem::path& path, EVP_PKEY* key) {
  FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr || !PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr)) {
    Fail("writing a key");
  }
  std::fclose(file);
}

CertificateFiles Save(const std::filesystem::path& folder, const std::string& name, X509* cert,
                      EVP_PKEY* key) {
  CertificateFiles files{folder / (name + ".crt"), folder / (name + ".key")};
  WriteCertificate(files.certificate, cert);
  WriteKey(files.privateKey, key);
  return files;
}

TestCertificates Generate(const std::filesystem::path& folder) {
  constexpr const char* kLocal = "IP:127.0.0.1";
  TestCertificates result;
  const Key caKey = NewKey();
  const Cert ca =
      MakeCertificate({"Local Test CA", nullptr, -kDay, 30 * kDay}, caKey.get(), nullptr, nullptr);
  result.caFile = folder / "ca.crt";
  WriteCertificate(result.caFile, ca.get());

  const auto signedByCa = [&](const std::string& name, const CertificatePlan& plan) {
    const Key key = NewKey();
    const Cert cert = MakeCertificate(plan, key.get(), ca.get(), caKey.get());
    return Save(folder, name, cert.get(), key.get());
  };
  result.good = signedByCa("good", {"127.0.0.1", kLocal, -kDay, 30 * kDay});
  result.wrongHost =
      signedByCa("wrong-host", {"wrong.invalid", "DNS:wrong.invalid", -kDay, 30 * kDay});
  result.expired = signedByCa("expired", {"127.0.0.1", kLocal, -30 * kDay, -kDay});
  result.notYetValid = signedByCa("not-yet-valid", {"127.0.0.1", kLocal, kDay, 30 * kDay});

  {
    const Key key = NewKey();
    const Cert cert =
        MakeCertificate({"127.0.0.1", kLocal, -kDay, 30 * kDay}, key.get(), nullptr, nullptr);
    result.selfSigned = Save(folder, "self-signed", cert.get(), key.get());
  }
  {
    const Key otherCaKey = NewKey();
    const Cert otherCa = MakeCertificate({"Unknown CA", nullptr, -kDay, 30 * kDay},
                                         otherCaKey.get(), nullptr, nullptr);
    const Key key = NewKey();
    const Cert cert = MakeCertificate({"127.0.0.1", kLocal, -kDay, 30 * kDay}, key.get(),
                                      otherCa.get(), otherCaKey.get());
    result.unknownIssuer = Save(folder, "unknown-issuer", cert.get(), key.get());
  }
  return result;
}

}  // namespace

const TestCertificates& Certificates() {
  static const TempDir folder;
  static const TestCertificates certificates = Generate(folder.Path());
  return certificates;
}

}  // namespace tarnlow::test
