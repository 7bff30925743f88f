// name_uuid.h: name-based UUIDs (version 5: SHA-1 of a namespace and a name), so the same test always
// gets the same fullUrl and another implementation can derive it (Python: uuid.uuid5). Pure functions.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kv::cli::fhir {

// The kit's namespace for every name of the export (docs/fhir.md lists the names).
inline constexpr std::string_view kUuidNamespace = "1b0c5d8e-6f2a-5c43-9e1d-4b7a2f3c8d90";

std::array<uint8_t, 20> Sha1(std::string_view data);
// "xxxxxxxx-xxxx-5xxx-yxxx-xxxxxxxxxxxx" of `name` in the namespace given as text.
std::string NameUuid(std::string_view namespaceUuid, std::string_view name);

}  // namespace kv::cli::fhir
