// scenario.cpp: the preset scenarios. The JSON loader lives apart (scenario_json.cpp) so the
// presets build where no JSON library is at hand, as in the cross-compiled test programs.
#include "scenario.h"

namespace kv::sim {

Scenario PresetScenario(int modelCode) {
  Scenario s;
  s.model = PresetModel(modelCode);
  s.name = "preset " + std::to_string(modelCode);
  return s;
}

}  // namespace kv::sim
