// commands.h: the analyser's commands over CKVComm: identity and printer address, clock,
// stored-test download and single test. Each is a fixed sequence of exchanges of exchange.h;
// none touches the port or a process-wide object itself (the export shims pass the link in).
#pragma once

#include <cstddef>
#include <cstdint>

#include "KorvantaSDK.h"
#include "link/comm.h"

namespace kv::link {

// ---- Identity and settings (identity.cpp)

// Exchange 0x21, then 0x24. All six outputs are set to 0 first. A wrong echo to 0x24
// counts as success, with version bytes 3 to 5 left at 0.
int ReadModelVersion(CKVComm& comm, int32_t& modelCode, uint8_t& version1, uint8_t& version2, uint8_t& version3,
                     uint8_t& version4, uint8_t& version5);
// Exchange 0x22; outputs written as soon as the payload is in, not cleared first.
int ReadProtocolInfo(CKVComm& comm, uint8_t& protocol1, uint8_t& protocol2, uint8_t& protocol3);
// Exchange 0x23; the 24-bit big-endian serial number, written as soon as the payload is in.
int ReadSerialNumber(CKVComm& comm, uint32_t& serialNumber);
// Exchange 0x32: twelve bytes through the ANSI code page into address (no terminator).
// -18 with nothing sent when capacity is below 12.
int ReadPrinterAddress(CKVComm& comm, KVWChar* address, int32_t capacity);
// Exchange 0x92 with the low bytes of the first twelve characters of address.
// -18 with nothing sent when length is below 12.
int WritePrinterAddress(CKVComm& comm, const KVWChar* address, int32_t length);

// ---- Clock (clock_commands.cpp)

// Exchange 0x31: the clock reading, decoded with the caller's daylight-saving flag
// (> 0 summer time, 0 not, < 0 the zone's rules); -1 when not representable.
int ReadCurrentTime(CKVComm& comm, int64_t& time, int32_t daylightSavingFlag);
// Exchange 0x33, decoded with the zone's rules.
int ReadCalibrationTime(CKVComm& comm, int64_t& time);
// Exchange 0x91 with the packed local time of `time`. A value the local-time breakdown
// refuses (negative, or kBreakDownLimit and above) gives -54 with nothing sent.
int WriteCurrentTimeAs(CKVComm& comm, int64_t time);
// WriteCurrentTimeAs with the computer's present time.
int WriteCurrentTime(CKVComm& comm);

// ---- Stored tests (download.cpp)

// The human download: -18 (null container or capacity not 100, nothing sent), model
// exchange, -1 for an equine analyser, serial-number exchange, then the block exchange.
// blockHeader is written as soon as it is in; records and testCount are complete once
// the block is in, also when the final acknowledgement then fails (-54).
int ReadStoredTestData(CKVComm& comm, KVStoredTests* stored);
// The same for the equine analysers: -1 for any analyser that is not one.
int ReadEquineStoredTestData(CKVComm& comm, CXStoredTests* stored);
// The two downloads of a session: the same, but the caller's container changes only when the
// download returns 0; after any failure or a cancel it is exactly as it was.
int ReadStoredTestDataWhole(CKVComm& comm, KVStoredTests* stored);
int ReadEquineStoredTestDataWhole(CKVComm& comm, CXStoredTests* stored);

// Exchange 0x40, read the human way; outputs written as soon as the payload is in.
int ReadTestKorvanta(CKVComm& comm, int32_t& reading1, int32_t& reading2, int32_t& reading3, int32_t& reading4,
                     int32_t& reading5, float& decimal1, float& decimal2);
// Exchange 0x40, read the equine way.
int ReadTestCaballix(CKVComm& comm, int32_t& reading1, int32_t& reading2, int32_t& reading3, int32_t& reading4,
                     int32_t& reading5, int32_t& reading6, int32_t& reading7, float& decimal);

}  // namespace kv::link
