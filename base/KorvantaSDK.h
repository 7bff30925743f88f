/* KorvantaSDK.h: the one public interface of the Korvanta analyser kit.
 * Plain C, usable from C, C++ and foreign-function interfaces. Declares the 32
 * exports, every record that crosses them and the result codes. Record layouts
 * are part of the binary interface: field order, widths and signedness are fixed
 * and checked by static assertions at the end of this file. */
#ifndef KORVANTA_SDK_H
#define KORVANTA_SDK_H

#include <stddef.h>
#include <stdint.h>

/* ---- Calling convention, export marking, text type ---------------------- */

#if defined(_WIN32) && !defined(_WIN64)
#define KV_CALL __stdcall
#else
#define KV_CALL
#endif

#if defined(_WIN32)
/* The Windows export list is the .def written from export_names.txt: nothing to mark here. */
#define KV_API
#elif defined(KV_BUILDING_SDK)
#define KV_API __attribute__((visibility("default")))
#else
#define KV_API
#endif

/* Wide text is UTF-16 on every platform. */
#if defined(_WIN32)
typedef wchar_t KVWChar;
#elif defined(__cplusplus)
typedef char16_t KVWChar;
#else
typedef uint16_t KVWChar;
#endif

/* Exports never throw; C++ callers see that in the type. */
#if defined(__cplusplus)
#define KV_NOEXCEPT noexcept
#else
#define KV_NOEXCEPT
#endif

/* The parent window of message boxes and dialogs (HWND on Windows); may be null. */
typedef void* KVWindowHandle;

/* 64-bit fields are aligned to 8 bytes on every target, as the Windows ABIs do;
 * 32-bit Unix ABIs would otherwise align them to 4 inside records. */
#if defined(__GNUC__) && !defined(_WIN32)
#define KV_ALIGN8 __attribute__((aligned(8)))
#else
#define KV_ALIGN8
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Result codes: 0 success, negative failure ------------------------- */

#define KV_RESULT_CODE(name, value, meaning) name = (value),
typedef enum KVResultCode {
#include "result_codes.inc"
  KV_RESULT_CODE_END_ = 1
} KVResultCode;
#undef KV_RESULT_CODE

/* ---- Families of the catalogue ----------------------------------------- */

enum KVFamily {
  KV_FAMILY_UNKNOWN = 0,
  KV_FAMILY_MONO = -1,
  KV_FAMILY_MONOXD = -2,
  KV_FAMILY_DUOTRACE = -3,
  KV_FAMILY_QUATTRON = -4,
  KV_FAMILY_POLYTRACE = -5,
  KV_FAMILY_CABALLIX_BASIC = -6,
  KV_FAMILY_CABALLIX_PLUS = -7
};

/* ---- Records ----------------------------------------------------------- */

/* One point of an impedance spectrum. */
typedef struct KVSpectrumPoint {
  float frequency; /* host's unit; the characteristic frequency comes out in it */
  float magnitude; /* ohm */
  float phase;     /* degrees */
} KVSpectrumPoint;

/* One human test. */
typedef struct KVTestRecord {
  int32_t modelCode;
  uint32_t serialNumber;
  int64_t testTime KV_ALIGN8; /* seconds since 1970 UTC, -1 for no time */
  int32_t sex;                /* 0 female, 1 male */
  int32_t age;                /* years, 1 to 99 */
  int32_t height;             /* cm, 10 to 229 */
  float weight;               /* kg, 0.001 to 300.0 */
  int32_t activityLevel;      /* 1 to 5 */
  int32_t waist;              /* 5 to 648, unit of the host's choice */
  int32_t hip;                /* 5 to 648, same unit as waist */
  int32_t impedanceF1;        /* ohm, 5 kHz */
  int32_t impedanceF2;        /* ohm, 50 kHz */
  int32_t impedanceF3;        /* ohm, not read by the calculation */
  int32_t impedanceF4;        /* ohm, highest frequency */
  int32_t resistance;         /* ohm */
  float decimalReading1;
  float decimalReading2;
  int32_t spectrumCount; /* points in spectrum, 1 to 50 where required */
  const KVSpectrumPoint* spectrum;
} KVTestRecord;

/* The 33 human results. */
typedef struct KVResults {
  float fatPercent;
  float fatKg;
  float leanPercent;
  float leanKg;
  float totalWeight;
  float dryLeanKg;
  float tbwPercent;
  float tbwLitres;
  float ecwPercent;
  float ecwLitres;
  float icwPercent;
  float icwLitres;
  float bodyCellMass;
  float tbwDifference;
  float ecwTbwRatio;
  float impedanceRatioF4F1;
  float bmrKcal;
  float bmrPerKg;
  float energyRequirementKcal;
  float bmi;
  float fatMassIndex;
  float leanMassIndex;
  float waistHipRatio;
  float impedanceRatioF2F1;
  float ecwRegressionLitres;
  float tbwRegressionLitres;
  float overhydrationLitres;
  float skeletalMuscleKg;
  float membraneCapacitance;
  float resistanceZero;
  float resistanceIntracellular;
  float characteristicFrequency;
  float alpha;
} KVResults;

/* The human normal ranges. */
typedef struct KVNormals {
  int32_t fatPercentLow;
  int32_t fatPercentHigh;
  int32_t fatKgLow;
  int32_t fatKgHigh;
  int32_t leanPercentLow;
  int32_t leanPercentHigh;
  int32_t leanKgLow;
  int32_t leanKgHigh;
  int32_t targetWeightLow;
  int32_t targetWeightHigh;
  int32_t targetWeightFromBmi;
  int32_t tbwPercentLow;
  int32_t tbwPercentHigh;
  int32_t tbwLitresLow;
  int32_t tbwLitresHigh;
  int32_t ecwPercentNormal;
  int32_t icwPercentNormal;
  int32_t fatMassIndexLow;
  int32_t fatMassIndexHigh;
  int32_t leanMassIndexLow;
  int32_t leanMassIndexHigh;
  float ecwTbwRatioNormal;
  float impedanceRatioF4F1Low;
  float impedanceRatioF4F1High;
  int32_t bmiLow;
  int32_t bmiHigh;
  float waistHipRatioMax;
  float impedanceRatioF2F1Low;
  float impedanceRatioF2F1High;
} KVNormals;

/* One equine test. */
typedef struct CXTestRecord {
  int32_t modelCode;
  uint32_t serialNumber;
  int64_t testTime KV_ALIGN8;
  int32_t height;         /* cm */
  int32_t conditionScore; /* 0 stands for the default 5 */
  int32_t impedance5;
  int32_t impedance16;
  int32_t impedance24;
  int32_t impedance50;
  int32_t impedance140;
  int32_t impedance200;
  int32_t impedance280;
  float decimalReading;
} CXTestRecord;

/* The 15 equine results. */
typedef struct CXResults {
  float fatKg;
  float bodyMassKg;
  float estimatedWeightKg;
  float fatPercent;
  float tbwLitres;
  float tbwPercent;
  float ecwLitres;
  float ecwPerKg;
  float ecwPercentTbw;
  float icwLitres;
  float icwPerKg;
  float icwPercentTbw;
  float ecwFractionLitres;
  float ecwFractionPercent;
  float impedanceRatio280To5;
} CXResults;

/* The equine normal ranges. */
typedef struct CXNormals {
  int32_t fatKgLow;
  int32_t fatKgHigh;
  int32_t fatPercentLow;
  int32_t fatPercentHigh;
  int32_t tbwLitresLow;
  int32_t tbwLitresHigh;
  int32_t tbwPercentLow;
  int32_t tbwPercentHigh;
  int32_t ecwLitresLow;
  int32_t ecwLitresHigh;
  int32_t ecwPerKgLow;
  int32_t ecwPerKgHigh;
  int32_t ecwPercentTbwLow;
  int32_t ecwPercentTbwHigh;
  int32_t icwLitresLow;
  int32_t icwLitresHigh;
  int32_t icwPerKgLow;
  int32_t icwPerKgHigh;
  int32_t icwPercentTbwLow;
  int32_t icwPercentTbwHigh;
  int32_t ecwFractionLitresLow;
  int32_t ecwFractionLitresHigh;
  int32_t ecwFractionPercentLow;
  int32_t ecwFractionPercentHigh;
} CXNormals;

#define KV_STORED_TEST_CAPACITY 100

/* Download container of a human analyser: set capacity to 100 before the call. */
typedef struct KVStoredTests {
  int32_t capacity;
  KVTestRecord tests[KV_STORED_TEST_CAPACITY];
  int32_t testCount;    /* index of the first empty slot, or 100 */
  uint32_t blockHeader; /* the three header bytes, big-endian, uninterpreted */
} KVStoredTests;

/* Download container of an equine analyser: set capacity to 100 before the call. */
typedef struct CXStoredTests {
  int32_t capacity;
  CXTestRecord tests[KV_STORED_TEST_CAPACITY];
  int32_t testCount;
  uint32_t blockHeader;
} CXStoredTests;

/* ---- Library frame and catalogue --------------------------------------- */

/* Gives the library's version, 1 and 39. Both pointers are checked.
 * Returns 0; -18 if either pointer is null (nothing written); -54 if the version
 * cannot be read (both outputs left at 0). */
KV_API int32_t KV_CALL KVGetSdkLibraryVersion(uint32_t* major, uint32_t* minor) KV_NOEXCEPT;

/* Returns the family code of a model (KV_FAMILY_*), 0 for a model outside the catalogue. */
KV_API int32_t KV_CALL KVGetDeviceFamily(int32_t modelCode) KV_NOEXCEPT;

/* Copy the long (short) model name with its terminator into name.
 * Returns 0; -1 for a model outside the catalogue ("Unknown" is copied);
 * -18 if name is null or capacity is below 32 (nothing written). */
KV_API int32_t KV_CALL KVGetDeviceModelName(int32_t modelCode, KVWChar* name, int32_t capacity) KV_NOEXCEPT;
KV_API int32_t KV_CALL KVGetDeviceModelNameShort(int32_t modelCode, KVWChar* name, int32_t capacity) KV_NOEXCEPT;

/* ---- Calculation (reentrant; no allocation) ---------------------------- */

/* Every build (Linux, Windows x64, Windows x86) gives the same result bits for the same inputs:
 * all arithmetic is IEEE single or double precision in SSE registers, without fused multiply-add, and
 * the base-10 logarithm of the equine fit is the library's own, correctly rounded for every positive
 * float. Against a C runtime's own log10f it differs by at most one unit in the last place wherever
 * that log10f is faithful (off by less than one unit; glibc 2.36's log10f is off by up to two units in
 * about one float in eleven of [1, 1e4)), so results computed with such a log10f differ in their last bits. */

/* Results of one human test: fills the 33 fields of results from test by the equations of the
 * model's family (KVGetDeviceFamily; a model outside the catalogue is calculated like family -1).
 * test: read only; its spectrum (spectrumCount points) is read for family -5 only.
 * results: written. waterEquation: 0 to 3; 2 reports total body water by the high-frequency
 * equation (family -4: tbwLitres; family -5: tbwRegressionLitres); 0, 1 and 3 are alike.
 * Both pointers are checked; spectrum is checked where a spectrum is required.
 * Returns, at the first failing check, in this order:
 *    0  success: every field the family fills is written, the others are 0;
 *  -18  test or results is null: results untouched;
 *   -1  modelCode is an equine model (family -6 or -7);
 *   -3  waterEquation above 3;
 *   -4  sex neither 0 nor 1;
 *   -5  age outside 1 to 99;
 *   -6  height outside 10 to 229;
 *   -7  weight below 0.001 or above 300.0, or not a number (infinities fail the range);
 *   -8  activityLevel outside 1 to 5;
 *   -9  waist outside 5 to 648;
 *  -10  hip outside 5 to 648;
 *  -18  family -5 or model 14, and spectrumCount below 1 or above 50 (never cut short), or
 *       spectrum null.
 * On every failure but a null pointer all 33 fields are 0.
 * Not checked, and still success: an impedance of 0 makes the fields that divide by it infinite or
 * not a number; non-finite spectrum values, and spectra that determine no arc (fewer than three
 * distinct points, a circle that misses the real axis), make the spectrum's fields non-finite or
 * meaningless; resistance 0 leaves skeletalMuscleKg at 0.
 * Reentrant; allocates nothing. */
KV_API int32_t KV_CALL KVCalculateResults(const KVTestRecord* test, KVResults* results, uint32_t waterEquation) KV_NOEXCEPT;

/* Normal ranges of one human test and the results KVCalculateResults gave for it. Reads modelCode, sex,
 * age, height and weight of test and leanKg of results only. All three pointers are checked.
 * Returns 0; -18 if any pointer is null (normals untouched); otherwise normals are zeroed first and the
 * first failing check is reported, leaving them all zero: -4 sex not 0 or 1, -5 age outside 1 to 99,
 * -6 height outside 10 to 229, -7 weight below 0.001, above 300.0, or not a finite number. The model code
 * is not checked: an unknown or equine model gets the fields common to every family.
 * Whole-number fields are rounded by adding 0.5 in double and truncating. A negative leanKg (which yields
 * negative target weights and mass ranges for children) is rounded as the mirror image, halves away from
 * zero, so negating leanKg negates those fields. A NaN leanKg (as after a zero impedance) gives an adult
 * the BMI target and a child target weights and mass ranges of 0; a value beyond the 32-bit range, as from
 * an infinite leanKg, is given as +-2147483647. */
KV_API int32_t KV_CALL KVCalculateNormals(const KVTestRecord* test, const KVResults* results, KVNormals* normals) KV_NOEXCEPT;

/* Results of one equine test. Both pointers are checked.
 * Returns 0; -18 if either pointer is null, -1 if modelCode is not an equine model (12 or 13); in both
 * cases results are untouched. On 0 every field is written. No field is NaN or infinite: a reading of 0
 * or below leaves bodyMassKg, tbwLitres, ecwLitres, ecwFractionLitres and every field derived from them
 * 0 (estimatedWeightKg and impedanceRatio280To5 are still given); any quotient whose divisor is 0, or
 * that would not be finite, is 0 (impedanceRatio280To5 is 0 when impedance5 is 0). ecwPerKg and icwPerKg
 * are litres per kilogram of bodyMassKg; fatKg is a whole number, truncated toward zero. */
KV_API int32_t KV_CALL CXCalculateResults(const CXTestRecord* test, CXResults* results) KV_NOEXCEPT;

/* Normal ranges for the body mass of one equine test's results; reads results->bodyMassKg only.
 * results and normals are checked; test is never read and may be null, whatever model it holds.
 * Returns 0; -18 if results or normals is null (normals untouched). Every range is truncated toward zero.
 * ecwPerKgLow/High and icwPerKgLow/High are millilitres per kilogram of body mass (the litre bound times
 * 1000 over bodyMassKg): compare them with 1000 times the results' ecwPerKg and icwPerKg. A bodyMassKg of
 * 0, NaN or infinite gives 0 for every range (the fixed percentages are still set); a value beyond the
 * 32-bit range gives +-2147483647. */
KV_API int32_t KV_CALL CXCalculateNormals(const CXTestRecord* test, const CXResults* results, CXNormals* normals) KV_NOEXCEPT;

/* ---- Device link (call from one thread at a time) ---------------------- */

/* Opens the analyser's serial port and sets 115200 baud, 8 data bits, no parity, one stop
 * bit, no flow control, DTR and RTS raised; discards what was queued. A port already open is
 * closed first, so after any failure no port is open.
 * portName: zero-terminated; its decimal port number ("5" opens \\.\COM5), or a device
 * path holding "\\.\" used unchanged. On Linux a name holding '/' is a device path too, and
 * "\\.\COM<n>" opens /dev/ttyS<n-1> and any other "\\.\NAME" /dev/NAME, as Wine maps them.
 * A null portName is treated as an empty name.
 * Returns 0; -50 if the port cannot be opened (also "COM7", which names no port, and a device
 * path longer than 511 characters, for which nothing is opened) or its line settings cannot be
 * read or set; -51 if its queue sizes cannot be set. */
KV_API int32_t KV_CALL KVOpenComport(const KVWChar* portName) KV_NOEXCEPT;

/* Closes the open port; with none open it does nothing. Unloading the library closes it too. */
KV_API void KV_CALL KVCloseComport(void) KV_NOEXCEPT;

/* Waits for the analyser's handshake byte 0xA5, skipping any other byte, answers it with
 * 0xA5, pauses 150 ms and discards everything then queued. Needs no earlier call besides
 * KVOpenComport; commands may be sent without it. No arguments.
 * Returns 0; -52 if no port is open (at once), the port reports an error, or no 0xA5 has come
 * within 60 seconds (time for a person to switch the analyser on). The answer's own send
 * result is not reported.
 *
 * Every device-link call below paces each byte it sends by at least 200 ms (a two-byte request
 * takes 0.4 s) and gives up on a silent analyser: a receive inside an exchange fails with -55
 * after 3 s without a byte, and a send with no port open, or whose writes fail three times,
 * fails with -56, which every command passes on unchanged. */
KV_API int32_t KV_CALL KVConnect(void) KV_NOEXCEPT;

/* The commands below each run one or more exchanges with the analyser on the open port.
 * Codes common to all of them: -53 the analyser's echo of a request is wrong (nothing more
 * is read); -54 its acknowledgement is wrong; -55 a receive failed (port error, no port
 * open, or the analyser stayed silent past the time limit); -56 a send failed (no port
 * open, or a byte could not be written). Outputs decoded from a payload are written as soon
 * as it is in, so after -54 they hold the received values; after -53 or -55 before the
 * payload they are left as they were. Every output pointer is checked: a null one gives -18
 * with nothing sent and nothing written. */

/* Model code and the five version bytes: exchange 0x21 (model, version 1 and 2), then 0x24
 * (version 3 to 5). All six outputs are set to 0 first. Returns 0; a wrong echo to 0x24
 * counts as success with version 3 to 5 at 0 (older analysers do not know it). On a failure
 * of the first exchange modelCode is 0 unless the payload came in. Codes: 0, -18, -53, -54, -55, -56. */
KV_API int32_t KV_CALL KVReadModelVersion(int32_t* modelCode, uint8_t* version1, uint8_t* version2, uint8_t* version3,
                                          uint8_t* version4, uint8_t* version5) KV_NOEXCEPT;
/* The three protocol information bytes (exchange 0x22), passed on unchanged; not cleared
 * first. Codes: 0, -18, -53, -54, -55, -56. */
KV_API int32_t KV_CALL KVReadProtocolInfo(uint8_t* protocol1, uint8_t* protocol2, uint8_t* protocol3) KV_NOEXCEPT;
/* The serial number (exchange 0x23): byte 0 * 65536 + byte 1 * 256 + byte 2; not cleared
 * first. Codes: 0, -18, -53, -54, -55, -56. */
KV_API int32_t KV_CALL KVReadSerialNumber(uint32_t* serialNumber) KV_NOEXCEPT;
/* The printer address (exchange 0x32): twelve 8-bit characters converted into address,
 * capacity in characters. No terminator is written and the rest of the buffer is not
 * touched; a zero byte gives a zero character. On Windows the system's ANSI code page
 * converts them; elsewhere each byte is read as Windows-1252 reads it. Returns -18 with
 * nothing sent when address is null or capacity is below 12. Codes: 0, -18, -53, -54, -55, -56. */
KV_API int32_t KV_CALL KVReadPrinterAddress(KVWChar* address, int32_t capacity) KV_NOEXCEPT;
/* Sets the printer address (exchange 0x92): the low 8 bits of the first twelve characters
 * of address (a longer text is cut). Returns -18 with nothing sent when address is null or length is below 12.
 * No data is sent after a wrong echo. Codes: 0, -18, -53, -54, -55, -56. */
KV_API int32_t KV_CALL KVWritePrinterAddress(const KVWChar* address, int32_t length) KV_NOEXCEPT;
/* The analyser's clock (exchange 0x31) as seconds since 1970 UTC, its packed date and time
 * read as the computer's local time: daylightSavingFlag > 0 summer time in effect, 0 not,
 * < 0 found from the time-zone rules. Fields out of range carry over (month 13 is January of
 * the next year); -1 is written for a date that cannot be represented. Codes: 0, -18, -53, -54, -55, -56. */
KV_API int32_t KV_CALL KVReadCurrentTime(int64_t* time, int32_t daylightSavingFlag) KV_NOEXCEPT;
/* The date of the analyser's last calibration (exchange 0x33), as KVReadCurrentTime with
 * the flag left to the time-zone rules. Codes: 0, -18, -53, -54, -55, -56. */
KV_API int32_t KV_CALL KVReadCalibrationTime(int64_t* time) KV_NOEXCEPT;
/* Sets the analyser's clock to the computer's present local time, as KVWriteCurrentTimeAs.
 * Codes: 0, -53, -54, -55, -56. */
KV_API int32_t KV_CALL KVWriteCurrentTime(void) KV_NOEXCEPT;
/* Sets the analyser's clock (exchange 0x91) to time, seconds since 1970 UTC, sent as the
 * computer's local date and time in packed digits (year 2100 on gives a year byte of 0xA0
 * and up; only the low 8 bits go out). A time the local-time breakdown refuses, negative or
 * 32535244800 (3001-01-01 08:00:00 UTC) and above, returns -54 with nothing sent, on every
 * platform alike. Codes: 0, -53, -54, -55, -56. */
KV_API int32_t KV_CALL KVWriteCurrentTimeAs(int64_t time) KV_NOEXCEPT;
/* Downloads the 100 stored tests of a human analyser. stored is checked: -18 with nothing
 * sent when it is null or its capacity is not 100. Then the model exchange (0x21): -1 for an
 * equine analyser, with the container untouched and nothing more sent; a model outside the
 * catalogue is downloaded as a human one. Then the serial-number exchange (0x23) and the
 * block exchange (0x30): blockHeader is written as soon as its three bytes are in (also when
 * the block then fails); each slot becomes a record with the model code and serial number
 * (an empty slot all zero, a delivered record keeping the caller's spectrumCount and
 * spectrum; Mono analysers give testTime -1) and testCount is the index of the first empty
 * slot, or 100. Records and testCount are complete when only the final acknowledgement fails
 * (-54); after earlier failures they are untouched. Codes: 0, -1, -18, -53, -54, -55, -56. */
KV_API int32_t KV_CALL KVReadStoredTestData(KVStoredTests* stored) KV_NOEXCEPT;
/* The single test (exchange 0x40), read the human way, big-endian words: reading1 bytes 0-1,
 * reading2 bytes 2-3, reading3 bytes 10-11, reading4 bytes 12-13, reading5 bytes 4-5,
 * decimal1 bytes 6-7 and decimal2 bytes 8-9 divided by 10. Outputs not cleared first; the
 * model is not asked. Codes: 0, -18, -53, -54, -55, -56. */
KV_API int32_t KV_CALL KVReadTestKorvanta(int32_t* reading1, int32_t* reading2, int32_t* reading3, int32_t* reading4,
                                          int32_t* reading5, float* decimal1, float* decimal2) KV_NOEXCEPT;
/* Downloads the 100 stored tests of an equine analyser, as KVReadStoredTestData with these
 * differences: -1 for any analyser that is not equine (models other than 12 and 13); an
 * empty slot clears the whole record; a condition score of 0 is stored as 5; model 13 gives
 * testTime -1. Codes: 0, -1, -18, -53, -54, -55, -56. */
KV_API int32_t KV_CALL CXReadStoredTestData(CXStoredTests* stored) KV_NOEXCEPT;
/* The single test (exchange 0x40), read the equine way: reading1 to reading7 the big-endian
 * words at bytes 0-1 to 12-13 in order, decimal bytes 14-15 divided by 10. Outputs not
 * cleared first; the family is not checked. Codes: 0, -18, -53, -54, -55, -56. */
KV_API int32_t KV_CALL CXReadTestCaballix(int32_t* reading1, int32_t* reading2, int32_t* reading3, int32_t* reading4,
                                          int32_t* reading5, int32_t* reading6, int32_t* reading7, float* decimal) KV_NOEXCEPT;

/* ---- Bluetooth setup: truth values, 1 or 0 ----------------------------- */
/* Call from one thread at a time. Each call blocks for its inquiry (timeoutMultiplier units of 1.28 s,
 * at most 45), its modal prompts and, after a pairing, the port wait (up to a little over two minutes).
 * parent owns every message box and dialog and may be null. interactive is a truth value: 0 leaves out
 * the missing-radio box, the search error boxes and the "no analyser" / "port not found" prompts.
 * A message box that cannot be shown counts as Cancel. The library keeps one Bluetooth stack object;
 * calls marked "replaces" build it afresh (an earlier search is lost), the others reuse its search. */

/* 1 if the computer has at least one Bluetooth radio, else 0. Replaces the stack object.
 * No prompt. Builds without a Bluetooth backend always answer 0. */
KV_API int32_t KV_CALL KVIsBTAvailable(void) KV_NOEXCEPT;

/* Writes the stack description ("Bluetooth API: ...", "Hardware Info: ...", "Software Info: ..." on
 * three lines) into info, cut to capacity characters and always terminated. Replaces the stack object.
 * info is checked: a null info or a capacity below 1 gives 0 with nothing done.
 * Returns 1; 0 if there is no radio (info untouched). */
KV_API int32_t KV_CALL KVGetBTStackInfo(KVWChar* info, int32_t capacity) KV_NOEXCEPT;

/* Runs an inquiry (timeoutMultiplier capped at 45) and reports the analysers met: newDeviceCount those
 * not yet paired, pairedDeviceCount those already paired. Reuses the stack object (building one if
 * none exists). Both pointers are checked: if either is null it returns 0 and writes nothing.
 * Returns 1 with both counts; 0 with both counts -1 if there is no radio or the search fails (in
 * interactive use after its error box). */
KV_API int32_t KV_CALL KVSearchBTDevices(int32_t* newDeviceCount, int32_t* pairedDeviceCount, int32_t interactive,
                                         KVWindowHandle parent, uint16_t timeoutMultiplier) KV_NOEXCEPT;

/* Reports the selected analyser of the latest search: its name, its address as "00:11:22:33:44:AA" and
 * the number of its virtual COM port as decimal text (for KVOpenComport). Without a completed search it
 * first searches silently with timeoutMultiplier. Every buffer is checked and never written past its
 * capacity: the name needs its length + 1 (names have at most 247 characters) or the call returns 0
 * with nothing written; an address buffer below 18 receives an empty text (nothing if below 1); the
 * port buffer is written only when the port is found and its text fits.
 * Returns 1 (also when no port is found); 0 if there is no radio, no search can complete, no analyser
 * was found or the name does not fit: then no buffer is touched. No prompt. */
KV_API int32_t KV_CALL KVGetBTKorvantaDevice(KVWChar* name, int32_t nameCapacity, KVWChar* address,
                                             int32_t addressCapacity, KVWChar* comPort, int32_t comPortCapacity,
                                             uint16_t timeoutMultiplier) KV_NOEXCEPT;

/* Pairs a new analyser of the latest search (searching silently first if none completed): asks the user
 * to confirm it (or to choose one of several in the platform's dialog), offers to remove old analyser
 * pairings, pairs with the analyser's PIN, enables its serial port service and waits for its port.
 * Always interactive. Returns 1 when paired and the service enabled (whether or not the port appeared);
 * 0 with no radio, no completed search, no new analyser (no prompt), or when the user declines or
 * cancels. */
KV_API int32_t KV_CALL KVAuthenticateBTDevice(KVWindowHandle parent, uint16_t timeoutMultiplier) KV_NOEXCEPT;

/* Removes the pairing of every analyser the platform knows; other devices stay paired. Searches
 * silently first when no search completed, then replaces the stack object (with the missing-radio
 * prompt when interactive). Returns 1 when the known devices could be listed; 0 if there is no radio,
 * the search fails, or the devices cannot be listed (error box when interactive). */
KV_API int32_t KV_CALL KVUnAuthenticateBTDevices(int32_t interactive, KVWindowHandle parent,
                                                 uint16_t timeoutMultiplier) KV_NOEXCEPT;

/* 1 if driver installations are still pending when timeoutMilliseconds have passed (0: asks at once),
 * else 0; also 0 where the platform offers no such query. No prompt. */
KV_API int32_t KV_CALL KVIsDeviceInstallInProgress(uint32_t timeoutMilliseconds) KV_NOEXCEPT;

/* The guided setup: replaces the stack object (missing-radio prompt with Retry when interactive),
 * searches (7 units, doubled up to 45 at each Retry of the "no analyser" prompt), pairs a new analyser
 * or takes the paired one (the dialog chooses among several), and writes the COM port number as decimal
 * text, terminated, into comPort. comPort is checked: null or a capacity below 1 gives 0 at once, with
 * no search and no prompt; a port text that does not fit capacity counts as not found.
 * Returns 1 with the port written; 0 otherwise, with comPort untouched. */
KV_API int32_t KV_CALL KVAutoSetupBT(KVWChar* comPort, int32_t capacity, int32_t interactive, KVWindowHandle parent) KV_NOEXCEPT;

#ifdef __cplusplus
} /* extern "C" */
#endif

/* ---- Layout checks ----------------------------------------------------- */

#if defined(__cplusplus)
#define KV_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define KV_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#else
#define KV_STATIC_ASSERT(cond, msg)
#endif

#define KV_PTR64 (UINTPTR_MAX > 0xFFFFFFFFu)

KV_STATIC_ASSERT(sizeof(KVWChar) == 2, "wide text is UTF-16");
KV_STATIC_ASSERT(sizeof(KVSpectrumPoint) == 12, "KVSpectrumPoint layout");
KV_STATIC_ASSERT(offsetof(KVTestRecord, testTime) == 8, "KVTestRecord.testTime");
KV_STATIC_ASSERT(offsetof(KVTestRecord, weight) == 28, "KVTestRecord.weight");
KV_STATIC_ASSERT(offsetof(KVTestRecord, impedanceF2) == 48, "KVTestRecord.impedanceF2");
KV_STATIC_ASSERT(offsetof(KVTestRecord, resistance) == 60, "KVTestRecord.resistance");
KV_STATIC_ASSERT(offsetof(KVTestRecord, spectrumCount) == 72, "KVTestRecord.spectrumCount");
KV_STATIC_ASSERT(offsetof(KVTestRecord, spectrum) == (KV_PTR64 ? 80 : 76), "KVTestRecord.spectrum");
KV_STATIC_ASSERT(sizeof(KVTestRecord) == (KV_PTR64 ? 88 : 80), "KVTestRecord size");
KV_STATIC_ASSERT(sizeof(KVResults) == 33 * 4, "KVResults size");
KV_STATIC_ASSERT(offsetof(KVResults, alpha) == 32 * 4, "KVResults.alpha");
KV_STATIC_ASSERT(sizeof(KVNormals) == 29 * 4, "KVNormals size");
KV_STATIC_ASSERT(offsetof(KVNormals, ecwTbwRatioNormal) == 21 * 4, "KVNormals.ecwTbwRatioNormal");
KV_STATIC_ASSERT(offsetof(KVNormals, impedanceRatioF2F1High) == 28 * 4, "KVNormals.impedanceRatioF2F1High");
KV_STATIC_ASSERT(offsetof(CXTestRecord, height) == 16, "CXTestRecord.height");
KV_STATIC_ASSERT(offsetof(CXTestRecord, decimalReading) == 52, "CXTestRecord.decimalReading");
KV_STATIC_ASSERT(sizeof(CXTestRecord) == 56, "CXTestRecord size");
KV_STATIC_ASSERT(sizeof(CXResults) == 15 * 4, "CXResults size");
KV_STATIC_ASSERT(sizeof(CXNormals) == 24 * 4, "CXNormals size");
KV_STATIC_ASSERT(offsetof(KVStoredTests, tests) == 8, "KVStoredTests.tests");
KV_STATIC_ASSERT(offsetof(KVStoredTests, testCount) == 8 + 100 * sizeof(KVTestRecord), "KVStoredTests.testCount");
KV_STATIC_ASSERT(offsetof(KVStoredTests, blockHeader) == 12 + 100 * sizeof(KVTestRecord), "KVStoredTests.blockHeader");
KV_STATIC_ASSERT(sizeof(KVStoredTests) == 16 + 100 * sizeof(KVTestRecord), "KVStoredTests size");
KV_STATIC_ASSERT(offsetof(CXStoredTests, testCount) == 5608, "CXStoredTests.testCount");
KV_STATIC_ASSERT(sizeof(CXStoredTests) == 5616, "CXStoredTests size");

#endif /* KORVANTA_SDK_H */
