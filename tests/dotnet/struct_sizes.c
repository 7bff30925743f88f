/* struct_sizes.c: prints the C size of every record of the public headers, one "name size" line
 * each, for the .NET declarations' layout check. */
#include <stdio.h>

#include "KorvantaSDK.h"
#include "KorvantaSession.h"

#define KV_SIZE(type) printf("%s %u\n", #type, (unsigned)sizeof(type))

int main(void) {
  KV_SIZE(KVSpectrumPoint);
  KV_SIZE(KVTestRecord);
  KV_SIZE(KVResults);
  KV_SIZE(KVNormals);
  KV_SIZE(CXTestRecord);
  KV_SIZE(CXResults);
  KV_SIZE(CXNormals);
  KV_SIZE(KVStoredTests);
  KV_SIZE(CXStoredTests);
  KV_SIZE(KVPortInfo);
  return 0;
}
