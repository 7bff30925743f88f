// fhir_codes.cpp: the code table of the FHIR export. LOINC codes only where LOINC has the concept
// (see docs/fhir.md for where each was checked); everything else is a concept of the kit's own
// CodeSystem, whose definitions are these rows. Waist and hip are left out: their unit is the host's.
#include "fhir_codes.h"

#include <array>

namespace kv::cli::fhir {

namespace {

constexpr std::string_view kVital = "vital-signs";
// Body composition by impedance is a finding of the examination with an instrument at the point of
// care, not a laboratory result: nothing is sampled.
constexpr std::string_view kExam = "exam";

using S = Source;

constexpr std::array kRows{
    // clang-format off
    // source, key, system, code, display, UCUM unit, category, profile, definition (kit codes)
    CodeRow{S::kHumanResult, "totalWeight", kLoinc, "29463-7", "Body weight", "kg", kVital, "http://hl7.org/fhir/StructureDefinition/bodyweight", ""},
    CodeRow{S::kHumanTest, "height", kLoinc, "8302-2", "Body height", "cm", kVital, "http://hl7.org/fhir/StructureDefinition/bodyheight", ""},
    CodeRow{S::kHumanResult, "bmi", kLoinc, "39156-5", "Body mass index (BMI) [Ratio]", "kg/m2", kVital, "http://hl7.org/fhir/StructureDefinition/bmi", ""},
    CodeRow{S::kHumanResult, "fatPercent", kLoinc, "41982-0", "Percentage of body fat Measured", "%", kExam, "", ""},
    CodeRow{S::kHumanResult, "fatKg", kLoinc, "73708-0", "Body fat [Mass] Calculated", "kg", kExam, "", ""},
    CodeRow{S::kHumanResult, "leanPercent", kKitCodes, "lean-mass-percent", "Lean body mass percentage", "%", kExam, "", "Lean (fat-free) body mass as a percentage of body weight, by bio-impedance."},
    CodeRow{S::kHumanResult, "leanKg", kKitCodes, "lean-mass", "Lean body mass", "kg", kExam, "", "Lean (fat-free) body mass: body weight less body fat, by bio-impedance."},
    CodeRow{S::kHumanResult, "tbwPercent", kLoinc, "101684-9", "Percentage of body water", "%", kExam, "", ""},
    CodeRow{S::kHumanResult, "tbwLitres", kKitCodes, "total-body-water", "Total body water", "L", kExam, "", "Volume of all water in the body, by bio-impedance."},
    CodeRow{S::kHumanResult, "ecwPercent", kKitCodes, "extracellular-water-percent", "Extracellular water percentage", "%", kExam, "", "Extracellular water volume, taken as mass, as a percentage of body weight."},
    CodeRow{S::kHumanResult, "ecwLitres", kKitCodes, "extracellular-water", "Extracellular water", "L", kExam, "", "Volume of the water outside the cells, by bio-impedance."},
    CodeRow{S::kHumanResult, "icwPercent", kKitCodes, "intracellular-water-percent", "Intracellular water percentage", "%", kExam, "", "Intracellular water volume, taken as mass, as a percentage of body weight."},
    CodeRow{S::kHumanResult, "icwLitres", kKitCodes, "intracellular-water", "Intracellular water", "L", kExam, "", "Volume of the water inside the cells: total body water less extracellular water."},
    CodeRow{S::kHumanResult, "ecwTbwRatio", kKitCodes, "extracellular-to-total-water-ratio", "Extracellular to total body water ratio", "1", kExam, "", "Extracellular water divided by total body water."},
    CodeRow{S::kHumanResult, "bodyCellMass", kKitCodes, "body-cell-mass", "Body cell mass", "kg", kExam, "", "Mass of the metabolically active cells, from the intracellular water."},
    CodeRow{S::kHumanResult, "bmrKcal", kKitCodes, "basal-metabolic-rate", "Basal metabolic rate", "kcal/d", kExam, "", "Energy spent a day at rest, from the lean body mass."},
    CodeRow{S::kHumanResult, "fatMassIndex", kKitCodes, "fat-mass-index", "Fat mass index", "kg/m2", kExam, "", "Body fat mass divided by the square of body height."},
    CodeRow{S::kHumanResult, "leanMassIndex", kKitCodes, "lean-mass-index", "Lean mass index", "kg/m2", kExam, "", "Lean body mass divided by the square of body height."},
    CodeRow{S::kHumanResult, "waistHipRatio", kKitCodes, "waist-to-hip-ratio", "Waist-to-hip ratio", "1", kExam, "", "Waist circumference divided by hip circumference."},
    CodeRow{S::kHumanResult, "impedanceRatioF4F1", kKitCodes, "impedance-ratio-high-to-5khz", "Impedance ratio, highest frequency to 5 kHz", "1", kExam, "", "Impedance at the analyser's highest frequency divided by the impedance at 5 kHz."},
    CodeRow{S::kHumanResult, "impedanceRatioF2F1", kKitCodes, "impedance-ratio-50khz-to-5khz", "Impedance ratio, 50 kHz to 5 kHz", "1", kExam, "", "Impedance at 50 kHz divided by the impedance at 5 kHz."},
    CodeRow{S::kHumanRaw, "impedanceF1", kKitCodes, "impedance-5khz", "Impedance at 5 kHz", "Ohm", kExam, "", "Magnitude of the body's impedance at 5 kHz."},
    CodeRow{S::kHumanRaw, "impedanceF2", kKitCodes, "impedance-50khz", "Impedance at 50 kHz", "Ohm", kExam, "", "Magnitude of the body's impedance at 50 kHz."},
    CodeRow{S::kHumanRaw, "impedanceF3", kKitCodes, "impedance-third-frequency", "Impedance at the third frequency", "Ohm", kExam, "", "Magnitude of the body's impedance at the analyser's third frequency."},
    CodeRow{S::kHumanRaw, "impedanceF4", kKitCodes, "impedance-highest-frequency", "Impedance at the highest frequency", "Ohm", kExam, "", "Magnitude of the body's impedance at the analyser's highest frequency."},
    CodeRow{S::kHumanRaw, "resistance", kKitCodes, "resistance", "Resistance", "Ohm", kExam, "", "Resistance, the real part of the body's impedance, as the analyser measures it."},
    CodeRow{S::kHumanSpectrum, "frequency", kKitCodes, "spectrum-frequency", "Spectrum point frequency", "", kExam, "", "Frequency of one point of an impedance spectrum, in the host's unit; the magnitude and phase components that follow belong to it."},
    CodeRow{S::kHumanSpectrum, "magnitude", kKitCodes, "spectrum-impedance", "Spectrum point impedance", "Ohm", kExam, "", "Magnitude of the body's impedance at the frequency of the component before it."},
    CodeRow{S::kHumanSpectrum, "phase", kKitCodes, "spectrum-phase-angle", "Spectrum point phase angle", "deg", kExam, "", "Phase angle of the body's impedance at the frequency of the components before it."},
    CodeRow{S::kEquineResult, "fatKg", kKitCodes, "equine-fat-mass", "Equine body fat mass", "kg", kExam, "", "Body fat mass of a horse, by bio-impedance."},
    CodeRow{S::kEquineResult, "bodyMassKg", kKitCodes, "equine-body-mass", "Equine body mass", "kg", kExam, "", "Body mass of a horse, by bio-impedance."},
    CodeRow{S::kEquineResult, "estimatedWeightKg", kKitCodes, "equine-estimated-weight", "Equine estimated weight", "kg", kExam, "", "Weight of a horse estimated from its height."},
    CodeRow{S::kEquineResult, "fatPercent", kKitCodes, "equine-fat-percent", "Equine body fat percentage", "%", kExam, "", "Body fat mass of a horse as a percentage of its body mass."},
    CodeRow{S::kEquineResult, "tbwLitres", kKitCodes, "equine-total-body-water", "Equine total body water", "L", kExam, "", "Volume of all water in a horse's body."},
    CodeRow{S::kEquineResult, "tbwPercent", kKitCodes, "equine-total-body-water-percent", "Equine total body water percentage", "%", kExam, "", "Total body water of a horse, taken as mass, as a percentage of its body mass."},
    CodeRow{S::kEquineResult, "ecwLitres", kKitCodes, "equine-extracellular-water", "Equine extracellular water", "L", kExam, "", "Volume of the water outside a horse's cells."},
    CodeRow{S::kEquineResult, "ecwPerKg", kKitCodes, "equine-extracellular-water-per-kg", "Equine extracellular water per kilogram", "L/kg", kExam, "", "Extracellular water of a horse per kilogram of body mass."},
    CodeRow{S::kEquineResult, "ecwPercentTbw", kKitCodes, "equine-extracellular-water-percent-tbw", "Equine extracellular water percentage of total body water", "%", kExam, "", "Extracellular water of a horse as a percentage of its total body water."},
    CodeRow{S::kEquineResult, "icwLitres", kKitCodes, "equine-intracellular-water", "Equine intracellular water", "L", kExam, "", "Volume of the water inside a horse's cells."},
    CodeRow{S::kEquineResult, "icwPerKg", kKitCodes, "equine-intracellular-water-per-kg", "Equine intracellular water per kilogram", "L/kg", kExam, "", "Intracellular water of a horse per kilogram of body mass."},
    CodeRow{S::kEquineResult, "icwPercentTbw", kKitCodes, "equine-intracellular-water-percent-tbw", "Equine intracellular water percentage of total body water", "%", kExam, "", "Intracellular water of a horse as a percentage of its total body water."},
    CodeRow{S::kEquineResult, "ecwFractionLitres", kKitCodes, "equine-extracellular-fraction", "Equine extracellular fluid fraction", "L", kExam, "", "The part of a horse's extracellular water the analyser's fraction equation gives."},
    CodeRow{S::kEquineResult, "ecwFractionPercent", kKitCodes, "equine-extracellular-fraction-percent", "Equine extracellular fluid fraction percentage", "%", kExam, "", "The extracellular fraction of a horse as a percentage of its extracellular water."},
    CodeRow{S::kEquineResult, "impedanceRatio280To5", kKitCodes, "equine-impedance-ratio-280khz-to-5khz", "Equine impedance ratio, 280 kHz to 5 kHz", "1", kExam, "", "Impedance of a horse at 280 kHz divided by its impedance at 5 kHz."},
    CodeRow{S::kEquineRaw, "impedance5", kKitCodes, "impedance-5khz", "Impedance at 5 kHz", "Ohm", kExam, "", "Magnitude of the body's impedance at 5 kHz."},
    CodeRow{S::kEquineRaw, "impedance16", kKitCodes, "impedance-16khz", "Impedance at 16 kHz", "Ohm", kExam, "", "Magnitude of the body's impedance at 16 kHz."},
    CodeRow{S::kEquineRaw, "impedance24", kKitCodes, "impedance-24khz", "Impedance at 24 kHz", "Ohm", kExam, "", "Magnitude of the body's impedance at 24 kHz."},
    CodeRow{S::kEquineRaw, "impedance50", kKitCodes, "impedance-50khz", "Impedance at 50 kHz", "Ohm", kExam, "", "Magnitude of the body's impedance at 50 kHz."},
    CodeRow{S::kEquineRaw, "impedance140", kKitCodes, "impedance-140khz", "Impedance at 140 kHz", "Ohm", kExam, "", "Magnitude of the body's impedance at 140 kHz."},
    CodeRow{S::kEquineRaw, "impedance200", kKitCodes, "impedance-200khz", "Impedance at 200 kHz", "Ohm", kExam, "", "Magnitude of the body's impedance at 200 kHz."},
    CodeRow{S::kEquineRaw, "impedance280", kKitCodes, "impedance-280khz", "Impedance at 280 kHz", "Ohm", kExam, "", "Magnitude of the body's impedance at 280 kHz."},
    CodeRow{S::kRawMeasurement, "", kKitCodes, "bioimpedance-measurement", "Bio-impedance measurement", "", kExam, "", "The impedances an analyser measured in one test, each a component, from which the test's results are calculated."},
    // clang-format on
};

}  // namespace

std::span<const CodeRow> CodeTable() { return kRows; }

}  // namespace kv::cli::fhir
