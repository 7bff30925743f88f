/* header_c_test.c: the public header compiles as plain C, and C sees the same layouts as C++. */
#include "KorvantaSDK.h"

size_t KvCLayoutOf(int which) {
  switch (which) {
    case 0: return sizeof(KVTestRecord);
    case 1: return offsetof(KVTestRecord, spectrum);
    case 2: return sizeof(KVStoredTests);
    case 3: return sizeof(CXStoredTests);
    case 4: return offsetof(KVNormals, waistHipRatioMax);
    case 5: return sizeof(KVWChar);
    default: return 0;
  }
}
