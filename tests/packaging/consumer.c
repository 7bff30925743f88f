/* consumer.c: a host built against an installed or unpacked kit: prints the library's version and
 * the fat percentage of one test, as lines the packaging test compares. */
#include <KorvantaSDK.h>
#include <stdio.h>
#include <string.h>

int main(void) {
  uint32_t major = 0, minor = 0;
  KVTestRecord test;
  KVResults results;
  int32_t code;
  memset(&test, 0, sizeof test);
  test.modelCode = 1, test.sex = 1, test.age = 35, test.height = 180, test.weight = 80.0f;
  test.activityLevel = 3, test.waist = 84, test.hip = 100, test.impedanceF2 = 500;
  if (KVGetSdkLibraryVersion(&major, &minor) != 0) return 1;
  code = KVCalculateResults(&test, &results, 0);
  printf("version %u.%u\ncode %d fatPercent %.2f\n", (unsigned)major, (unsigned)minor, (int)code,
         (double)results.fatPercent);
  return code == 0 ? 0 : 2;
}
