/* Makes a test CA trusted inside the test's own Wine prefix: the DER file
 * named goes into the prefix's machine Root store. Each run's CA has a name
 * of its own, so earlier ones are left in place (Wine's store loses every
 * change of a write that also deletes).
 *
 *   trust_root CA.der      exits 0 once added, 2 on any failure */
#include <stdio.h>
#include <windows.h>

#include <wincrypt.h>

int main(int argc, char** argv) {
  static BYTE der[16384];
  if (argc != 2) return 2;
  FILE* f = fopen(argv[1], "rb");
  if (f == NULL) return 2;
  const size_t length = fread(der, 1, sizeof der, f);
  fclose(f);
  HCERTSTORE root =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "Root");
  if (root == NULL) return 2;
  BOOL added = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der, (DWORD)length,
                                                CERT_STORE_ADD_REPLACE_EXISTING, NULL);
  if (!added) fprintf(stderr, "trust_root: %lu\n", GetLastError());
  CertCloseStore(root, 0);
  return added ? 0 : 2;
}
