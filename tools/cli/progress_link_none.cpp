// progress_link_none.cpp: a build without the library's C++ link: downloads show no progress.
#include "analyser.h"

namespace kv::cli {

std::unique_ptr<AnalyserLink> MakeProgressLink() { return nullptr; }

}  // namespace kv::cli
