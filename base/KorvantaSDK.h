/** @file KorvantaSDK.h
 * @brief The one public interface of the Korvanta analyser kit: the 32 exports, their records, the result codes.
 *
 * Plain C, usable from C, C++ and foreign-function interfaces. Declares the 32
 * exports, every record that crosses them and the result codes. Record layouts
 * are part of the binary interface: field order, widths and signedness are fixed
 * and checked by static assertions at the end of this file. */
#ifndef KORVANTA_SDK_H
#define KORVANTA_SDK_H

#include <stddef.h>
#include <stdint.h>

/* ---- Calling convention, export marking, text type ---------------------- */

/** Calling convention of every export and callback: `__stdcall` on 32-bit Windows, the platform's
 * default elsewhere (there is only one on x64). */
#if defined(_WIN32) && !defined(_WIN64)
#define KV_CALL __stdcall
#else
#define KV_CALL
#endif

/** Marks the exports: default visibility while the library itself is built on Linux, empty for hosts
 * and on Windows. */
#if defined(_WIN32)
/* The Windows export list is the .def written from export_names.txt: nothing to mark here. */
#define KV_API
#elif defined(KV_BUILDING_SDK)
#define KV_API __attribute__((visibility("default")))
#else
#define KV_API
#endif

/** Wide text is UTF-16 on every platform: one code unit, two bytes (checked at the end of this file).
 * `wchar_t` on Windows, `char16_t` in C++ elsewhere, `uint16_t` in C elsewhere. Capacities of text
 * buffers are counted in these units, the terminating zero included. */
#if defined(_WIN32)
typedef wchar_t KVWChar;
#elif defined(__cplusplus)
typedef char16_t KVWChar;
#else
typedef uint16_t KVWChar;
#endif

/** Exports never throw; C++ callers see that in the type (`noexcept`); empty in C. */
#if defined(__cplusplus)
#define KV_NOEXCEPT noexcept
#else
#define KV_NOEXCEPT
#endif

/** The parent window of message boxes and dialogs (HWND on Windows); may be null. */
typedef void* KVWindowHandle;

/** 64-bit fields are aligned to 8 bytes on every target, as the Windows ABIs do;
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

/** Turns one row of result_codes.inc, the one table of the codes, into an enumerator of
 * KVResultCode; undefined again after it. */
#define KV_RESULT_CODE(name, value, meaning) name = (value),
/** The result codes: 0 success, negative failure. Every export that returns `int32_t` and is not a
 * truth value, a family or a count returns one of them; each export names those it can return.
 * The enumerators are the rows of result_codes.inc (name, value, meaning), the one table from
 * which the library's code-name lookup comes too. Codes -2 and -11 to -17 are not used. */
typedef enum KVResultCode {
#include "result_codes.inc"
  KV_RESULT_CODE_END_ = 1 /**< Not a code: closes the list after the table's last row. */
} KVResultCode;
#undef KV_RESULT_CODE

/* ---- Families of the catalogue ----------------------------------------- */

/** The families of analyser models, as KVGetDeviceFamily gives them. A family decides which
 * equations calculate a test and which fields of the results and normal ranges are filled. */
enum KVFamily {
  KV_FAMILY_UNKNOWN = 0,         /**< a model outside the catalogue */
  KV_FAMILY_MONO = -1,           /**< Korvanta Mono: models 1, 3 and 9 */
  KV_FAMILY_MONOXD = -2,         /**< Korvanta Mono XD: models 2, 4 and 10; water compartments */
  KV_FAMILY_DUOTRACE = -3,       /**< Korvanta Duotrace: models 5 and 6 */
  KV_FAMILY_QUATTRON = -4,       /**< Korvanta Quattron 40: models 7 and 11, and 14 (the panel model, which
                                      carries a spectrum); water compartments and the high frequency */
  KV_FAMILY_POLYTRACE = -5,      /**< Korvanta Polytrace: models 8 and 15 (the panel model); an impedance
                                      spectrum, water compartments and the high frequency */
  KV_FAMILY_CABALLIX_BASIC = -6, /**< Caballix Basic, equine: model 13 */
  KV_FAMILY_CABALLIX_PLUS = -7   /**< Caballix Plus, equine: model 12 */
};

/* ---- Records ----------------------------------------------------------- */

/** One point of an impedance spectrum. */
typedef struct KVSpectrumPoint {
  float frequency; /**< host's unit; the characteristic frequency comes out in it */
  float magnitude; /**< ohm */
  float phase;     /**< degrees */
} KVSpectrumPoint;

/** One human test: what KVReadStoredTestData delivers per slot and KVCalculateResults reads. The
 * ranges given are those the calculation checks. */
typedef struct KVTestRecord {
  int32_t modelCode;          /**< the analyser's model (KVGetDeviceFamily gives its family) */
  uint32_t serialNumber;      /**< the analyser's serial number */
  int64_t testTime KV_ALIGN8; /**< seconds since 1970 UTC, -1 for no time */
  int32_t sex;                /**< 0 female, 1 male */
  int32_t age;                /**< years, 1 to 99 */
  int32_t height;             /**< cm, 10 to 229 */
  float weight;               /**< kg, 0.001 to 300.0 */
  int32_t activityLevel;      /**< 1 to 5 */
  int32_t waist;              /**< 5 to 648, unit of the host's choice */
  int32_t hip;                /**< 5 to 648, same unit as waist */
  int32_t impedanceF1;        /**< ohm, 5 kHz */
  int32_t impedanceF2;        /**< ohm, 50 kHz */
  int32_t impedanceF3;        /**< ohm, not read by the calculation */
  int32_t impedanceF4;        /**< ohm, highest frequency */
  int32_t resistance;         /**< ohm; read by the calculation for skeletalMuscleKg (family -5) only */
  float decimalReading1;      /**< decimal reading 1 (tenths), passed on; not read by the calculation */
  float decimalReading2;      /**< decimal reading 2 (tenths), passed on; not read by the calculation */
  int32_t spectrumCount; /**< points in spectrum, 1 to 50 where required */
  const KVSpectrumPoint* spectrum; /**< the impedance spectrum, spectrumCount points; required for family -5 and
                                        model 14, not read otherwise; never written by a download */
} KVTestRecord;

/** The 33 human results, written by KVCalculateResults. A field the test's family does not fill is 0. */
typedef struct KVResults {
  float fatPercent; /**< fat mass, percent of weight (100 - leanPercent) */
  float fatKg; /**< fat mass, kg (weight - leanKg) */
  float leanPercent; /**< lean (fat-free) mass, percent of weight */
  float leanKg; /**< lean (fat-free) mass, kg */
  float totalWeight; /**< the test's weight, kg */
  float dryLeanKg; /**< lean mass without its water, kg (leanKg - tbwLitres) */
  float tbwPercent; /**< total body water, percent of weight (tbwLitres * 100 / weight) */
  float tbwLitres; /**< total body water, litres (family -5: from the spectrum; family -4 with waterEquation 2: by the
                        high-frequency equation) */
  float ecwPercent; /**< extracellular water, percent of weight; families -2, -4 and -5 */
  float ecwLitres; /**< extracellular water, litres; families -2, -4 and -5 (model 15: from the spectrum) */
  float icwPercent; /**< intracellular water, percent of weight; families -2, -4 and -5 */
  float icwLitres; /**< intracellular water, litres; families -2, -4 and -5 */
  float bodyCellMass; /**< body cell mass, kg (icwLitres / 0.7); families -4 and -5 */
  float tbwDifference; /**< total body water by the main equation minus by the high-frequency equation, litres; families
                            -4 and -5 */
  float ecwTbwRatio; /**< extracellular over total body water; families -4 and -5 */
  float impedanceRatioF4F1; /**< impedanceF4 / impedanceF1; families -4 and -5 */
  float bmrKcal; /**< basal metabolic rate, kcal */
  float bmrPerKg; /**< basal metabolic rate per kg of weight, kcal */
  float energyRequirementKcal; /**< energy requirement, kcal: bmrKcal times 1.4 to 1.8 by activityLevel 1 to 5 */
  float bmi; /**< body mass index, kg/m2 (families -2, -4 and -5: fatMassIndex + leanMassIndex unless leanKg exceeds the
                  weight) */
  float fatMassIndex; /**< fatKg per square metre of height; families -2, -4 and -5 */
  float leanMassIndex; /**< leanKg per square metre of height; families -2, -4 and -5 */
  float waistHipRatio; /**< waist / hip */
  float impedanceRatioF2F1; /**< impedanceF2 / impedanceF1; family -2 only */
  float ecwRegressionLitres; /**< extracellular water by the regression equation, litres; model 15 only, whose ecwLitres
                                  and icwLitres come from the spectrum */
  float tbwRegressionLitres; /**< total body water by the regression equation, litres (the high-frequency one with
                                  waterEquation 2); family -5 only */
  float overhydrationLitres; /**< overhydration, litres, from the spectrum's water compartments and the weight; family
                                  -5 only */
  float skeletalMuscleKg; /**< skeletal muscle mass, kg, from height, resistance, sex and age; family -5 only, 0 when
                               resistance is 0 */
  float membraneCapacitance; /**< cell-membrane capacitance of the fitted arc: (R0 - Rinfinity) / (2 pi fc R0 squared),
                                  farads when the frequencies are in hertz; family -5 only */
  float resistanceZero; /**< R0, where the fitted arc meets the real axis at zero frequency, ohm; family -5 only */
  float resistanceIntracellular; /**< intracellular resistance Ri = 1 / (1/Rinfinity - 1/R0), ohm; family -5 only */
  float characteristicFrequency; /**< frequency at the top of the fitted arc, in the spectrum's unit; family -5 only */
  float alpha; /**< flattening of the fitted arc, 1 for a circle centred on the real axis; family -5 only */
} KVResults;

/** The human normal ranges, written by KVCalculateNormals. Whole numbers are rounded (see there);
 * a field the test's family does not fill is 0. */
typedef struct KVNormals {
  int32_t fatPercentLow; /**< normal fat percentage, low end, by sex and age */
  int32_t fatPercentHigh; /**< normal fat percentage, high end */
  int32_t fatKgLow; /**< normal fat mass, kg, low end: fatPercentLow of the middle of the target weights */
  int32_t fatKgHigh; /**< normal fat mass, kg, high end */
  int32_t leanPercentLow; /**< normal lean percentage, low end (100 - fatPercentHigh) */
  int32_t leanPercentHigh; /**< normal lean percentage, high end (100 - fatPercentLow) */
  int32_t leanKgLow; /**< normal lean mass, kg, low end, of the middle of the target weights */
  int32_t leanKgHigh; /**< normal lean mass, kg, high end */
  int32_t targetWeightLow; /**< target weight, kg, low end: at fatPercentLow with the present leanKg, or at BMI 20 when
                                targetWeightFromBmi is 1 */
  int32_t targetWeightHigh; /**< target weight, kg, high end: at fatPercentHigh with the present leanKg, or at BMI 22
                                 when targetWeightFromBmi is 1 */
  int32_t targetWeightFromBmi; /**< 1 when the target weights come from the BMI (adults whose fat-based high end would
                                    not exceed BMI 22), else 0 */
  int32_t tbwPercentLow; /**< normal total body water, percent of weight, low end, by sex (and age for families -2, -4
                              and -5) */
  int32_t tbwPercentHigh; /**< normal total body water, percent of weight, high end */
  int32_t tbwLitresLow; /**< normal total body water, litres, low end: tbwPercentLow of the weight */
  int32_t tbwLitresHigh; /**< normal total body water, litres, high end */
  int32_t ecwPercentNormal; /**< normal extracellular water, percent of weight (20 female, 26 male); families -2, -4 and
                                 -5 */
  int32_t icwPercentNormal; /**< normal intracellular water, percent of weight (30 female, 34 male); families -2, -4 and
                                 -5 */
  int32_t fatMassIndexLow; /**< normal fat mass index, kg/m2, low end, from fatKgLow; families -2, -4 and -5 */
  int32_t fatMassIndexHigh; /**< normal fat mass index, kg/m2, high end; families -2, -4 and -5 */
  int32_t leanMassIndexLow; /**< normal lean mass index, kg/m2, low end, from leanKgLow; families -2, -4 and -5 */
  int32_t leanMassIndexHigh; /**< normal lean mass index, kg/m2, high end; families -2, -4 and -5 */
  float ecwTbwRatioNormal; /**< normal extracellular over total water (0.40 female, 0.43 male); families -4 and -5 */
  float impedanceRatioF4F1Low; /**< normal impedanceF4 / impedanceF1, low end (0.70); families -4 and -5 */
  float impedanceRatioF4F1High; /**< normal impedanceF4 / impedanceF1, high end (0.82); families -4 and -5 */
  int32_t bmiLow; /**< normal body mass index, low end (20) */
  int32_t bmiHigh; /**< normal body mass index, high end (25) */
  float waistHipRatioMax; /**< largest normal waist / hip (0.80 female, 1.00 male) */
  float impedanceRatioF2F1Low; /**< normal impedanceF2 / impedanceF1, low end (0.80); family -2 only */
  float impedanceRatioF2F1High; /**< normal impedanceF2 / impedanceF1, high end (0.89); family -2 only */
} KVNormals;

/** One equine test: what CXReadStoredTestData delivers per slot and CXCalculateResults reads. */
typedef struct CXTestRecord {
  int32_t modelCode;          /**< the analyser's model: 12 or 13 */
  uint32_t serialNumber;      /**< the analyser's serial number */
  int64_t testTime KV_ALIGN8; /**< seconds since 1970 UTC, -1 for no time */
  int32_t height;         /**< cm */
  int32_t conditionScore; /**< 0 stands for the default 5 */
  int32_t impedance5;     /**< ohm, 5 kHz */
  int32_t impedance16;    /**< ohm, 16 kHz */
  int32_t impedance24;    /**< ohm, 24 kHz */
  int32_t impedance50;    /**< ohm, 50 kHz */
  int32_t impedance140;   /**< ohm, 140 kHz */
  int32_t impedance200;   /**< ohm, 200 kHz */
  int32_t impedance280;   /**< ohm, 280 kHz */
  float decimalReading;   /**< the analyser's decimal reading (tenths), passed on; not read by the calculation */
} CXTestRecord;

/** The 15 equine results, written by CXCalculateResults. */
typedef struct CXResults {
  float fatKg; /**< fat mass, kg, a whole number truncated toward zero: bodyMassKg - tbwLitres / 0.732 */
  float bodyMassKg; /**< body mass, kg, from height and the seven impedances */
  float estimatedWeightKg; /**< weight estimated from height and conditionScore alone, kg */
  float fatPercent; /**< fatKg, percent of bodyMassKg */
  float tbwLitres; /**< total body water, litres */
  float tbwPercent; /**< tbwLitres, percent of bodyMassKg */
  float ecwLitres; /**< extracellular water, litres */
  float ecwPerKg; /**< ecwLitres per kg of bodyMassKg */
  float ecwPercentTbw; /**< ecwLitres, percent of tbwLitres */
  float icwLitres; /**< intracellular water, litres (tbwLitres - ecwLitres) */
  float icwPerKg; /**< icwLitres per kg of bodyMassKg */
  float icwPercentTbw; /**< icwLitres, percent of tbwLitres */
  float ecwFractionLitres; /**< the extracellular fraction, litres, by an equation of its own from height and the
                                impedances */
  float ecwFractionPercent; /**< ecwFractionLitres, percent of ecwLitres */
  float impedanceRatio280To5; /**< impedance280 / impedance5 (0 when impedance5 is 0) */
} CXResults;

/** The equine normal ranges, written by CXCalculateNormals from the body mass. Every range is truncated
 * toward zero. */
typedef struct CXNormals {
  int32_t fatKgLow; /**< low end of the normal fat mass, kg: fatPercentLow and fatPercentHigh of bodyMassKg */
  int32_t fatKgHigh; /**< high end of the fatKg range */
  int32_t fatPercentLow; /**< low end of the normal fat, percent of body mass: 7 to 18 */
  int32_t fatPercentHigh; /**< high end of the fatPercent range */
  int32_t tbwLitresLow; /**< low end of the normal total body water, litres: tbwPercentLow and tbwPercentHigh of
                             bodyMassKg */
  int32_t tbwLitresHigh; /**< high end of the tbwLitres range */
  int32_t tbwPercentLow; /**< low end of the normal total body water, percent of body mass: 60 to 68 */
  int32_t tbwPercentHigh; /**< high end of the tbwPercent range */
  int32_t ecwLitresLow; /**< low end of the normal extracellular water, litres: ecwPercentTbwLow and ecwPercentTbwHigh
                             of the middle of the total-water range */
  int32_t ecwLitresHigh; /**< high end of the ecwLitres range */
  int32_t ecwPerKgLow; /**< low end of the normal extracellular water per kg of body mass, millilitres (a litre bound
                            times 1000 over bodyMassKg): compare with 1000 times the results' ecwPerKg */
  int32_t ecwPerKgHigh; /**< high end of the ecwPerKg range */
  int32_t ecwPercentTbwLow; /**< low end of the normal extracellular water, percent of total body water: 33 to 40 */
  int32_t ecwPercentTbwHigh; /**< high end of the ecwPercentTbw range */
  int32_t icwLitresLow; /**< low end of the normal intracellular water, litres: icwPercentTbwLow and icwPercentTbwHigh
                             of the middle of the total-water range */
  int32_t icwLitresHigh; /**< high end of the icwLitres range */
  int32_t icwPerKgLow; /**< low end of the normal intracellular water per kg of body mass, millilitres (a litre bound
                            times 1000 over bodyMassKg): compare with 1000 times the results' icwPerKg */
  int32_t icwPerKgHigh; /**< high end of the icwPerKg range */
  int32_t icwPercentTbwLow; /**< low end of the normal intracellular water, percent of total body water: 60 to 67 */
  int32_t icwPercentTbwHigh; /**< high end of the icwPercentTbw range */
  int32_t ecwFractionLitresLow; /**< low end of the normal extracellular fraction, litres: ecwFractionPercentLow and
                                     ecwFractionPercentHigh of the middle of the extracellular range */
  int32_t ecwFractionLitresHigh; /**< high end of the ecwFractionLitres range */
  int32_t ecwFractionPercentLow; /**< low end of the normal extracellular fraction, percent of extracellular water: 13
                                      to 25 */
  int32_t ecwFractionPercentHigh; /**< high end of the ecwFractionPercent range */
} CXNormals;

/** The tests an analyser stores, and the capacity a download container must declare. */
#define KV_STORED_TEST_CAPACITY 100

/** Download container of a human analyser: set capacity to 100 before the call. */
typedef struct KVStoredTests {
  int32_t capacity;                            /**< set by the caller to KV_STORED_TEST_CAPACITY (100) */
  KVTestRecord tests[KV_STORED_TEST_CAPACITY]; /**< one record per slot; an empty slot all zero */
  int32_t testCount;    /**< index of the first empty slot, or 100 */
  uint32_t blockHeader; /**< the three header bytes, big-endian, uninterpreted */
} KVStoredTests;

/** Download container of an equine analyser: set capacity to 100 before the call. */
typedef struct CXStoredTests {
  int32_t capacity;                            /**< set by the caller to KV_STORED_TEST_CAPACITY (100) */
  CXTestRecord tests[KV_STORED_TEST_CAPACITY]; /**< one record per slot; an empty slot all zero */
  int32_t testCount;    /**< index of the first empty slot, or 100 */
  uint32_t blockHeader; /**< the three header bytes, big-endian, uninterpreted */
} CXStoredTests;

/* ---- Library frame and catalogue --------------------------------------- */

/** @name Library frame and catalogue */
/** @{ */

/** Gives the library's version, 1 and 39. Both pointers are checked.
 * @param major written: the major version
 * @param minor written: the minor version
 * @return KV_OK (0); KV_ERR_ARGUMENT (-18) if either pointer is null (nothing written); KV_ERR_ACK (-54) if
 *         the version cannot be read (both outputs left at 0). */
KV_API int32_t KV_CALL KVGetSdkLibraryVersion(uint32_t* major, uint32_t* minor) KV_NOEXCEPT;

/** The family of a model.
 * @param modelCode the model, as KVReadModelVersion reads it
 * @return the family code of the model (a KVFamily value, KV_FAMILY_*), 0 for a model outside the catalogue. */
KV_API int32_t KV_CALL KVGetDeviceFamily(int32_t modelCode) KV_NOEXCEPT;

/** Copies the long model name ("Korvanta Quattron 40") with its terminator into name.
 * @param modelCode the model
 * @param name written: the name and its terminator
 * @param capacity of name, in characters; at least 32
 * @return KV_OK (0); KV_ERR_WRONG_KIND (-1) for a model outside the catalogue ("Unknown" is copied);
 *         KV_ERR_ARGUMENT (-18) if name is null or capacity is below 32 (nothing written). */
KV_API int32_t KV_CALL KVGetDeviceModelName(int32_t modelCode, KVWChar* name, int32_t capacity) KV_NOEXCEPT;
/** Copies the short model name ("Quattron") with its terminator into name, as KVGetDeviceModelName.
 * @param modelCode the model
 * @param name written: the name and its terminator
 * @param capacity of name, in characters; at least 32
 * @return KV_OK (0); KV_ERR_WRONG_KIND (-1) for a model outside the catalogue ("Unknown" is copied);
 *         KV_ERR_ARGUMENT (-18) if name is null or capacity is below 32 (nothing written). */
KV_API int32_t KV_CALL KVGetDeviceModelNameShort(int32_t modelCode, KVWChar* name, int32_t capacity) KV_NOEXCEPT;

/** @} */

/* ---- Calculation (reentrant; no allocation) ---------------------------- */

/** @name Calculation (reentrant; no allocation)
 * Every build (Linux, Windows x64, Windows x86) gives the same result bits for the same inputs:
 * all arithmetic is IEEE single or double precision in SSE registers, without fused multiply-add, and
 * the base-10 logarithm of the equine fit is the library's own, correctly rounded for every positive
 * float. Against a C runtime's own log10f it differs by at most one unit in the last place wherever
 * that log10f is faithful (off by less than one unit; glibc 2.36's log10f is off by up to two units in
 * about one float in eleven of [1, 1e4)), so results computed with such a log10f differ in their last bits. */
/** @{ */

/** Results of one human test: fills the 33 fields of results from test by the equations of the
 * model's family (KVGetDeviceFamily; a model outside the catalogue is calculated like family -1).
 * Both pointers are checked; spectrum is checked where a spectrum is required.
 * On every failure but a null pointer all 33 fields are 0.
 * Not checked, and still success: an impedance of 0 makes the fields that divide by it infinite or
 * not a number; non-finite spectrum values, and spectra that determine no arc (fewer than three
 * distinct points, a circle that misses the real axis), make the spectrum's fields non-finite or
 * meaningless; resistance 0 leaves skeletalMuscleKg at 0.
 * Reentrant; allocates nothing.
 * @param test read only; its spectrum (spectrumCount points) is read for family -5 only.
 * @param results written.
 * @param waterEquation 0 to 3; 2 reports total body water by the high-frequency
 *        equation (family -4: tbwLitres; family -5: tbwRegressionLitres); 0, 1 and 3 are alike.
 * @return at the first failing check, in this order:
 *  - KV_OK (0): success: every field the family fills is written, the others are 0;
 *  - KV_ERR_ARGUMENT (-18): test or results is null: results untouched;
 *  - KV_ERR_WRONG_KIND (-1): modelCode is an equine model (family -6 or -7);
 *  - KV_ERR_WATER_EQUATION (-3): waterEquation above 3;
 *  - KV_ERR_SEX (-4): sex neither 0 nor 1;
 *  - KV_ERR_AGE (-5): age outside 1 to 99;
 *  - KV_ERR_HEIGHT (-6): height outside 10 to 229;
 *  - KV_ERR_WEIGHT (-7): weight below 0.001 or above 300.0, or not a number (infinities fail the range);
 *  - KV_ERR_ACTIVITY (-8): activityLevel outside 1 to 5;
 *  - KV_ERR_WAIST (-9): waist outside 5 to 648;
 *  - KV_ERR_HIP (-10): hip outside 5 to 648;
 *  - KV_ERR_ARGUMENT (-18): family -5 or model 14, and spectrumCount below 1 or above 50 (never cut
 *    short), or spectrum null. */
KV_API int32_t KV_CALL KVCalculateResults(const KVTestRecord* test, KVResults* results, uint32_t waterEquation) KV_NOEXCEPT;

/** Normal ranges of one human test and the results KVCalculateResults gave for it. Reads modelCode, sex,
 * age, height and weight of test and leanKg of results only. All three pointers are checked.
 * The model code is not checked: an unknown or equine model gets the fields common to every family.
 * @param test read only: modelCode, sex, age, height and weight
 * @param results read only: leanKg
 * @param normals written
 * @return KV_OK (0); KV_ERR_ARGUMENT (-18) if any pointer is null (normals untouched); otherwise normals
 *         are zeroed first and the first failing check is reported, leaving them all zero: KV_ERR_SEX (-4)
 *         sex not 0 or 1, KV_ERR_AGE (-5) age outside 1 to 99, KV_ERR_HEIGHT (-6) height outside 10 to 229,
 *         KV_ERR_WEIGHT (-7) weight below 0.001, above 300.0, or not a finite number.
 *
 * Whole-number fields are rounded by adding 0.5 in double and truncating. A negative leanKg (which yields
 * negative target weights and mass ranges for children) is rounded as the mirror image, halves away from
 * zero, so negating leanKg negates those fields. A NaN leanKg (as after a zero impedance) gives an adult
 * the BMI target and a child target weights and mass ranges of 0; a value beyond the 32-bit range, as from
 * an infinite leanKg, is given as +-2147483647. */
KV_API int32_t KV_CALL KVCalculateNormals(const KVTestRecord* test, const KVResults* results, KVNormals* normals) KV_NOEXCEPT;

/** Results of one equine test. Both pointers are checked.
 * @param test read only
 * @param results written
 * @return KV_OK (0); KV_ERR_ARGUMENT (-18) if either pointer is null, KV_ERR_WRONG_KIND (-1) if modelCode
 *         is not an equine model (12 or 13); in both cases results are untouched.
 *
 * On 0 every field is written. No field is NaN or infinite: a reading of 0
 * or below leaves bodyMassKg, tbwLitres, ecwLitres, ecwFractionLitres and every field derived from them
 * 0 (estimatedWeightKg and impedanceRatio280To5 are still given); any quotient whose divisor is 0, or
 * that would not be finite, is 0 (impedanceRatio280To5 is 0 when impedance5 is 0). ecwPerKg and icwPerKg
 * are litres per kilogram of bodyMassKg; fatKg is a whole number, truncated toward zero. */
KV_API int32_t KV_CALL CXCalculateResults(const CXTestRecord* test, CXResults* results) KV_NOEXCEPT;

/** Normal ranges for the body mass of one equine test's results; reads results->bodyMassKg only.
 * results and normals are checked; test is never read and may be null, whatever model it holds.
 * @param test never read; may be null
 * @param results read only: bodyMassKg
 * @param normals written
 * @return KV_OK (0); KV_ERR_ARGUMENT (-18) if results or normals is null (normals untouched).
 *
 * Every range is truncated toward zero.
 * ecwPerKgLow/High and icwPerKgLow/High are millilitres per kilogram of body mass (the litre bound times
 * 1000 over bodyMassKg): compare them with 1000 times the results' ecwPerKg and icwPerKg. A bodyMassKg of
 * 0, NaN or infinite gives 0 for every range (the fixed percentages are still set); a value beyond the
 * 32-bit range gives +-2147483647. */
KV_API int32_t KV_CALL CXCalculateNormals(const CXTestRecord* test, const CXResults* results, CXNormals* normals) KV_NOEXCEPT;

/** @} */

/* ---- Device link (call from one thread at a time) ---------------------- */

/** @name Device link: the port and the handshake (call from one thread at a time) */
/** @{ */

/** Opens the analyser's serial port and sets 115200 baud, 8 data bits, no parity, one stop
 * bit, no flow control, DTR and RTS raised; discards what was queued. A port already open is
 * closed first, so after any failure no port is open.
 * @param portName zero-terminated; its decimal port number (`"5"` opens `\\.\COM5`), or a device
 *        path holding `\\.\` used unchanged. On Linux a name holding '/' is a device path too, and
 *        `"\\.\COM<n>"` opens `/dev/ttyS<n-1>` and any other `"\\.\NAME"` `/dev/NAME`, as Wine maps
 *        them. A null portName is treated as an empty name.
 * @return KV_OK (0); KV_ERR_PORT_OPEN (-50) if the port cannot be opened (also "COM7", which names no port,
 *         and a device path longer than 511 characters, for which nothing is opened) or its line settings
 *         cannot be read or set; KV_ERR_PORT_QUEUES (-51) if its queue sizes cannot be set. */
KV_API int32_t KV_CALL KVOpenComport(const KVWChar* portName) KV_NOEXCEPT;

/** Closes the open port; with none open it does nothing. Unloading the library closes it too. */
KV_API void KV_CALL KVCloseComport(void) KV_NOEXCEPT;

/** Waits for the analyser's handshake byte 0xA5, skipping any other byte, answers it with
 * 0xA5, pauses 150 ms and discards everything then queued. Needs no earlier call besides
 * KVOpenComport; commands may be sent without it. No arguments.
 * @return KV_OK (0); KV_ERR_NO_HANDSHAKE (-52) if no port is open (at once), the port reports an error, or
 *         no 0xA5 has come within 60 seconds (time for a person to switch the analyser on). The answer's
 *         own send result is not reported. */
KV_API int32_t KV_CALL KVConnect(void) KV_NOEXCEPT;

/** @} */

/** @name Device link: the commands (call from one thread at a time)
 * Every device-link call paces each byte it sends by at least 200 ms (a two-byte request
 * takes 0.4 s) and gives up on a silent analyser: a receive inside an exchange fails with -55
 * after 3 s without a byte, and a send with no port open, or whose writes fail three times,
 * fails with -56, which every command passes on unchanged.
 *
 * The commands below each run one or more exchanges with the analyser on the open port.
 * Codes common to all of them: -53 (KV_ERR_ECHO) the analyser's echo of a request is wrong (nothing more
 * is read); -54 (KV_ERR_ACK) its acknowledgement is wrong; -55 (KV_ERR_RECEIVE) a receive failed (port error,
 * no port open, or the analyser stayed silent past the time limit); -56 (KV_ERR_SEND) a send failed (no port
 * open, or a byte could not be written). Outputs decoded from a payload are written as soon
 * as it is in, so after -54 they hold the received values; after -53 or -55 before the
 * payload they are left as they were. Every output pointer is checked: a null one gives -18
 * (KV_ERR_ARGUMENT) with nothing sent and nothing written. */
/** @{ */


/** Model code and the five version bytes: exchange 0x21 (model, version 1 and 2), then 0x24
 * (version 3 to 5). All six outputs are set to 0 first. A wrong echo to 0x24
 * counts as success with version 3 to 5 at 0 (older analysers do not know it). On a failure
 * of the first exchange modelCode is 0 unless the payload came in.
 * @param modelCode written: the analyser's model (KVGetDeviceFamily gives its family)
 * @param version1 written: version byte 1 (exchange 0x21)
 * @param version2 written: version byte 2 (exchange 0x21)
 * @param version3 written: version byte 3 (exchange 0x24)
 * @param version4 written: version byte 4 (exchange 0x24)
 * @param version5 written: version byte 5 (exchange 0x24)
 * @return KV_OK (0), KV_ERR_ARGUMENT (-18), KV_ERR_ECHO (-53), KV_ERR_ACK (-54), KV_ERR_RECEIVE (-55),
 *         KV_ERR_SEND (-56). */
KV_API int32_t KV_CALL KVReadModelVersion(int32_t* modelCode, uint8_t* version1, uint8_t* version2, uint8_t* version3,
                                          uint8_t* version4, uint8_t* version5) KV_NOEXCEPT;
/** The three protocol information bytes (exchange 0x22), passed on unchanged; not cleared
 * first.
 * @param protocol1 written: the first byte
 * @param protocol2 written: the second byte
 * @param protocol3 written: the third byte
 * @return KV_OK (0), KV_ERR_ARGUMENT (-18), KV_ERR_ECHO (-53), KV_ERR_ACK (-54), KV_ERR_RECEIVE (-55),
 *         KV_ERR_SEND (-56). */
KV_API int32_t KV_CALL KVReadProtocolInfo(uint8_t* protocol1, uint8_t* protocol2, uint8_t* protocol3) KV_NOEXCEPT;
/** The serial number (exchange 0x23): byte 0 * 65536 + byte 1 * 256 + byte 2; not cleared
 * first.
 * @param serialNumber written: the serial number
 * @return KV_OK (0), KV_ERR_ARGUMENT (-18), KV_ERR_ECHO (-53), KV_ERR_ACK (-54), KV_ERR_RECEIVE (-55),
 *         KV_ERR_SEND (-56). */
KV_API int32_t KV_CALL KVReadSerialNumber(uint32_t* serialNumber) KV_NOEXCEPT;
/** The printer address (exchange 0x32): twelve 8-bit characters converted into address,
 * capacity in characters. No terminator is written and the rest of the buffer is not
 * touched; a zero byte gives a zero character. On Windows the system's ANSI code page
 * converts them; elsewhere each byte is read as Windows-1252 reads it.
 * @param address written: the twelve characters, no terminator
 * @param capacity of address, in characters; at least 12
 * @return KV_OK (0); KV_ERR_ARGUMENT (-18) with nothing sent when address is null or capacity is below 12;
 *         KV_ERR_ECHO (-53), KV_ERR_ACK (-54), KV_ERR_RECEIVE (-55), KV_ERR_SEND (-56). */
KV_API int32_t KV_CALL KVReadPrinterAddress(KVWChar* address, int32_t capacity) KV_NOEXCEPT;
/** Sets the printer address (exchange 0x92): the low 8 bits of the first twelve characters
 * of address (a longer text is cut). No data is sent after a wrong echo.
 * @param address read: the characters to send
 * @param length of address, in characters; at least 12
 * @return KV_OK (0); KV_ERR_ARGUMENT (-18) with nothing sent when address is null or length is below 12;
 *         KV_ERR_ECHO (-53), KV_ERR_ACK (-54), KV_ERR_RECEIVE (-55), KV_ERR_SEND (-56). */
KV_API int32_t KV_CALL KVWritePrinterAddress(const KVWChar* address, int32_t length) KV_NOEXCEPT;
/** The analyser's clock (exchange 0x31) as seconds since 1970 UTC, its packed date and time
 * read as the computer's local time. Fields out of range carry over (month 13 is January of
 * the next year); -1 is written for a date that cannot be represented.
 * @param time written: seconds since 1970 UTC
 * @param daylightSavingFlag > 0 summer time in effect, 0 not, < 0 found from the time-zone rules
 * @return KV_OK (0), KV_ERR_ARGUMENT (-18), KV_ERR_ECHO (-53), KV_ERR_ACK (-54), KV_ERR_RECEIVE (-55),
 *         KV_ERR_SEND (-56). */
KV_API int32_t KV_CALL KVReadCurrentTime(int64_t* time, int32_t daylightSavingFlag) KV_NOEXCEPT;
/** The date of the analyser's last calibration (exchange 0x33), as KVReadCurrentTime with
 * the flag left to the time-zone rules.
 * @param time written: seconds since 1970 UTC
 * @return KV_OK (0), KV_ERR_ARGUMENT (-18), KV_ERR_ECHO (-53), KV_ERR_ACK (-54), KV_ERR_RECEIVE (-55),
 *         KV_ERR_SEND (-56). */
KV_API int32_t KV_CALL KVReadCalibrationTime(int64_t* time) KV_NOEXCEPT;
/** Sets the analyser's clock to the computer's present local time, as KVWriteCurrentTimeAs.
 * @return KV_OK (0), KV_ERR_ECHO (-53), KV_ERR_ACK (-54), KV_ERR_RECEIVE (-55), KV_ERR_SEND (-56). */
KV_API int32_t KV_CALL KVWriteCurrentTime(void) KV_NOEXCEPT;
/** Sets the analyser's clock (exchange 0x91) to time, seconds since 1970 UTC, sent as the
 * computer's local date and time in packed digits (year 2100 on gives a year byte of 0xA0
 * and up; only the low 8 bits go out).
 * @param time seconds since 1970 UTC
 * @return KV_OK (0), KV_ERR_ECHO (-53), KV_ERR_ACK (-54), KV_ERR_RECEIVE (-55), KV_ERR_SEND (-56). A time
 *         the local-time breakdown refuses, negative or 32535244800 (3001-01-01 08:00:00 UTC) and above,
 *         returns KV_ERR_ACK (-54) with nothing sent, on every platform alike. */
KV_API int32_t KV_CALL KVWriteCurrentTimeAs(int64_t time) KV_NOEXCEPT;
/** Downloads the 100 stored tests of a human analyser. stored is checked: -18 with nothing
 * sent when it is null or its capacity is not 100. Then the model exchange (0x21): -1 for an
 * equine analyser, with the container untouched and nothing more sent; a model outside the
 * catalogue is downloaded as a human one. Then the serial-number exchange (0x23) and the
 * block exchange (0x30): blockHeader is written as soon as its three bytes are in (also when
 * the block then fails); each slot becomes a record with the model code and serial number
 * (an empty slot all zero, a delivered record keeping the caller's spectrumCount and
 * spectrum; Mono analysers give testTime -1) and testCount is the index of the first empty
 * slot, or 100. Records and testCount are complete when only the final acknowledgement fails
 * (-54); after earlier failures they are untouched.
 * @param stored the container: capacity read (must be 100), the rest written
 * @return KV_OK (0); KV_ERR_WRONG_KIND (-1) for an equine analyser; KV_ERR_ARGUMENT (-18);
 *         KV_ERR_ECHO (-53), KV_ERR_ACK (-54), KV_ERR_RECEIVE (-55), KV_ERR_SEND (-56). */
KV_API int32_t KV_CALL KVReadStoredTestData(KVStoredTests* stored) KV_NOEXCEPT;
/** The single test (exchange 0x40), read the human way, big-endian words. Outputs not cleared
 * first; the model is not asked.
 * @param reading1 written: bytes 0-1
 * @param reading2 written: bytes 2-3
 * @param reading3 written: bytes 10-11
 * @param reading4 written: bytes 12-13
 * @param reading5 written: bytes 4-5
 * @param decimal1 written: bytes 6-7 divided by 10
 * @param decimal2 written: bytes 8-9 divided by 10
 * @return KV_OK (0), KV_ERR_ARGUMENT (-18), KV_ERR_ECHO (-53), KV_ERR_ACK (-54), KV_ERR_RECEIVE (-55),
 *         KV_ERR_SEND (-56). */
KV_API int32_t KV_CALL KVReadTestKorvanta(int32_t* reading1, int32_t* reading2, int32_t* reading3, int32_t* reading4,
                                          int32_t* reading5, float* decimal1, float* decimal2) KV_NOEXCEPT;
/** Downloads the 100 stored tests of an equine analyser, as KVReadStoredTestData with these
 * differences: -1 for any analyser that is not equine (models other than 12 and 13); an
 * empty slot clears the whole record; a condition score of 0 is stored as 5; model 13 gives
 * testTime -1.
 * @param stored the container: capacity read (must be 100), the rest written
 * @return KV_OK (0); KV_ERR_WRONG_KIND (-1) for an analyser that is not equine; KV_ERR_ARGUMENT (-18);
 *         KV_ERR_ECHO (-53), KV_ERR_ACK (-54), KV_ERR_RECEIVE (-55), KV_ERR_SEND (-56). */
KV_API int32_t KV_CALL CXReadStoredTestData(CXStoredTests* stored) KV_NOEXCEPT;
/** The single test (exchange 0x40), read the equine way: reading1 to reading7 the big-endian
 * words at bytes 0-1 to 12-13 in order, decimal bytes 14-15 divided by 10. Outputs not
 * cleared first; the family is not checked.
 * @param reading1 written: bytes 0-1
 * @param reading2 written: bytes 2-3
 * @param reading3 written: bytes 4-5
 * @param reading4 written: bytes 6-7
 * @param reading5 written: bytes 8-9
 * @param reading6 written: bytes 10-11
 * @param reading7 written: bytes 12-13
 * @param decimal written: bytes 14-15 divided by 10
 * @return KV_OK (0), KV_ERR_ARGUMENT (-18), KV_ERR_ECHO (-53), KV_ERR_ACK (-54), KV_ERR_RECEIVE (-55),
 *         KV_ERR_SEND (-56). */
KV_API int32_t KV_CALL CXReadTestCaballix(int32_t* reading1, int32_t* reading2, int32_t* reading3, int32_t* reading4,
                                          int32_t* reading5, int32_t* reading6, int32_t* reading7, float* decimal) KV_NOEXCEPT;

/** @} */

/* ---- Bluetooth setup: truth values, 1 or 0 ----------------------------- */
/** @name Bluetooth setup: truth values, 1 or 0
 * Call from one thread at a time. Each call blocks for its inquiry (timeoutMultiplier units of 1.28 s,
 * at most 45), its modal prompts and, after a pairing, the port wait (up to a little over two minutes).
 * parent owns every message box and dialog and may be null. interactive is a truth value: 0 leaves out
 * the missing-radio box, the search error boxes and the "no analyser" / "port not found" prompts.
 * A message box that cannot be shown counts as Cancel. The library keeps one Bluetooth stack object;
 * calls marked "replaces" build it afresh (an earlier search is lost), the others reuse its search. */
/** @{ */

/** Whether the computer has a Bluetooth radio. Replaces the stack object.
 * No prompt. Builds without a Bluetooth backend always answer 0.
 * @return 1 if the computer has at least one Bluetooth radio, else 0. */
KV_API int32_t KV_CALL KVIsBTAvailable(void) KV_NOEXCEPT;

/** Writes the stack description ("Bluetooth API: ...", "Hardware Info: ...", "Software Info: ..." on
 * three lines) into info, cut to capacity characters and always terminated. Replaces the stack object.
 * info is checked: a null info or a capacity below 1 gives 0 with nothing done.
 * @param info written: the description and its terminator
 * @param capacity of info, in characters
 * @return 1; 0 if there is no radio (info untouched). */
KV_API int32_t KV_CALL KVGetBTStackInfo(KVWChar* info, int32_t capacity) KV_NOEXCEPT;

/** Runs an inquiry (timeoutMultiplier capped at 45) and reports the analysers met. Reuses the stack
 * object (building one if none exists). Both pointers are checked: if either is null it returns 0 and
 * writes nothing.
 * @param newDeviceCount written: the analysers met that are not yet paired
 * @param pairedDeviceCount written: the analysers met that are already paired
 * @param interactive truth value: 0 leaves out the missing-radio box and the search error boxes
 * @param parent owner of the message boxes; may be null
 * @param timeoutMultiplier length of the inquiry in units of 1.28 s, capped at 45
 * @return 1 with both counts; 0 with both counts -1 if there is no radio or the search fails (in
 *         interactive use after its error box). */
KV_API int32_t KV_CALL KVSearchBTDevices(int32_t* newDeviceCount, int32_t* pairedDeviceCount, int32_t interactive,
                                         KVWindowHandle parent, uint16_t timeoutMultiplier) KV_NOEXCEPT;

/** Reports the selected analyser of the latest search: its name, its address as "00:11:22:33:44:AA" and
 * the number of its virtual COM port as decimal text (for KVOpenComport). Without a completed search it
 * first searches silently with timeoutMultiplier. Every buffer is checked and never written past its
 * capacity: the name needs its length + 1 (names have at most 247 characters) or the call returns 0
 * with nothing written; an address buffer below 18 receives an empty text (nothing if below 1); the
 * port buffer is written only when the port is found and its text fits. No prompt.
 * @param name written: the analyser's name and its terminator
 * @param nameCapacity of name, in characters: at least the name's length + 1
 * @param address written: the address as "00:11:22:33:44:AA", or an empty text below 18 characters
 * @param addressCapacity of address, in characters
 * @param comPort written: the number of the virtual COM port as decimal text, when found and it fits
 * @param comPortCapacity of comPort, in characters
 * @param timeoutMultiplier length of a silent search, if one is needed, in units of 1.28 s
 * @return 1 (also when no port is found); 0 if there is no radio, no search can complete, no analyser
 *         was found or the name does not fit: then no buffer is touched. */
KV_API int32_t KV_CALL KVGetBTKorvantaDevice(KVWChar* name, int32_t nameCapacity, KVWChar* address,
                                             int32_t addressCapacity, KVWChar* comPort, int32_t comPortCapacity,
                                             uint16_t timeoutMultiplier) KV_NOEXCEPT;

/** Pairs a new analyser of the latest search (searching silently first if none completed): asks the user
 * to confirm it (or to choose one of several in the platform's dialog), offers to remove old analyser
 * pairings, pairs with the analyser's PIN, enables its serial port service and waits for its port.
 * Always interactive.
 * @param parent owner of the message boxes and the dialog; may be null
 * @param timeoutMultiplier length of a silent search, if one is needed, in units of 1.28 s
 * @return 1 when paired and the service enabled (whether or not the port appeared);
 *         0 with no radio, no completed search, no new analyser (no prompt), or when the user declines or
 *         cancels. */
KV_API int32_t KV_CALL KVAuthenticateBTDevice(KVWindowHandle parent, uint16_t timeoutMultiplier) KV_NOEXCEPT;

/** Removes the pairing of every analyser the platform knows; other devices stay paired. Searches
 * silently first when no search completed, then replaces the stack object (with the missing-radio
 * prompt when interactive).
 * @param interactive truth value: 0 leaves out the missing-radio prompt and the error box
 * @param parent owner of the message boxes; may be null
 * @param timeoutMultiplier length of a silent search, if one is needed, in units of 1.28 s
 * @return 1 when the known devices could be listed; 0 if there is no radio,
 *         the search fails, or the devices cannot be listed (error box when interactive). */
KV_API int32_t KV_CALL KVUnAuthenticateBTDevices(int32_t interactive, KVWindowHandle parent,
                                                 uint16_t timeoutMultiplier) KV_NOEXCEPT;

/** Whether driver installations are still pending. No prompt.
 * @param timeoutMilliseconds how long to wait for them to end; 0 asks at once
 * @return 1 if driver installations are still pending when timeoutMilliseconds have passed (0: asks at once),
 *         else 0; also 0 where the platform offers no such query. */
KV_API int32_t KV_CALL KVIsDeviceInstallInProgress(uint32_t timeoutMilliseconds) KV_NOEXCEPT;

/** The guided setup: replaces the stack object (missing-radio prompt with Retry when interactive),
 * searches (7 units, doubled up to 45 at each Retry of the "no analyser" prompt), pairs a new analyser
 * or takes the paired one (the dialog chooses among several), and writes the COM port number as decimal
 * text, terminated, into comPort. comPort is checked: null or a capacity below 1 gives 0 at once, with
 * no search and no prompt; a port text that does not fit capacity counts as not found.
 * @param comPort written: the COM port number as decimal text, terminated
 * @param capacity of comPort, in characters
 * @param interactive truth value: 0 leaves out the prompts (see the section's introduction)
 * @param parent owner of the message boxes and the dialog; may be null
 * @return 1 with the port written; 0 otherwise, with comPort untouched. */
KV_API int32_t KV_CALL KVAutoSetupBT(KVWChar* comPort, int32_t capacity, int32_t interactive, KVWindowHandle parent) KV_NOEXCEPT;

/** @} */

#ifdef __cplusplus
} /* extern "C" */
#endif

/* ---- Layout checks ----------------------------------------------------- */

/** Checks a record layout at compile time (C11 or C++; no check in older C). */
#if defined(__cplusplus)
#define KV_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define KV_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#else
#define KV_STATIC_ASSERT(cond, msg)
#endif

/** Non-zero where pointers have 64 bits: the layout checks of records holding a pointer depend on it. */
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
