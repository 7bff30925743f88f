/** @file KorvantaSession.h
 * @brief The kit's interface beyond the 32 exports of KorvantaSDK.h: sessions, the serial ports, batch calculation.
 *
 * The kit's interface beyond the 32 exports of KorvantaSDK.h: sessions, one per
 * analyser port, each with its own link, usable from any thread, cancellable, with progress and a
 * wire trace; the serial ports of this computer; the calculations of many tests in one call.
 * Plain C like KorvantaSDK.h, whose records, text type and calling convention it uses.
 *
 * @par Thread contract
 *  - Calls on different sessions run at the same time, from any threads.
 *  - One call at a time on one session: a second call while one is in flight returns
 *    KV_ERR_BUSY (-58) at once, without touching the line. This holds for every export taking a
 *    session except KVSessionCancel, KVSessionClose and KVSessionGetLastError.
 *  - KVSessionCancel and KVSessionClose may be called from any thread at any time, also while a
 *    call is in flight. Cancel is never lost: once it has returned, the call in flight returns
 *    KV_ERR_CANCELLED (-57) within about 50 ms (from the handshake wait, a pacing pause or a
 *    receive), and every later call on that session returns -57 at once. It reaches no other
 *    session. Only Close remains to be done on a cancelled session.
 *  - Callbacks run on the thread of the call that causes them, and never after that call has
 *    returned. A callback must not call into the same session (that call would answer -58).
 *  - The 32 exports of KorvantaSDK.h keep their own process-wide port (a default session of
 *    their own); sessions never share it, so both may be used side by side on different ports. */
#ifndef KORVANTA_SESSION_H
#define KORVANTA_SESSION_H

#include "KorvantaSDK.h"

#ifdef __cplusplus
extern "C" {
#endif

/** One open analyser port with its own link object. Opaque: made by KVSessionOpen, freed by
 * KVSessionClose. */
typedef struct KVSession KVSession;

/** Progress of the transfer in progress: done and total are its bytes (the stored-test block:
 * total 3200, done rising to it, reported at least every 64 bytes and at the end). Called on
 * the calling thread; returning non-zero cancels the session, as KVSessionCancel.
 * @param user the pointer given to KVSessionSetProgress
 * @param done bytes received so far
 * @param total bytes of the transfer
 * @return 0 to go on; non-zero cancels the session */
typedef int32_t(KV_CALL* KVProgressCallback)(void* user, int32_t done, int32_t total);

/** Every byte that crosses the line, in the order it did. Bytes that a purge discards unread are
 * never seen. Called on the calling thread.
 * @param user the pointer given to KVSessionSetTrace
 * @param direction 1 sent, 0 received (KVTraceDirection)
 * @param bytes points at count bytes, valid during the call only
 * @param count the number of bytes
 * @param elapsedMicroseconds the time since the session was opened */
typedef void(KV_CALL* KVTraceCallback)(void* user, int32_t direction, const uint8_t* bytes, int32_t count,
                                        int64_t elapsedMicroseconds);

/** The direction argument of KVTraceCallback. */
enum KVTraceDirection { KV_TRACE_RECEIVED = 0 /**< bytes from the analyser */, KV_TRACE_SENT = 1 /**< bytes to it */ };

/** Opens a port as KVOpenComport names it ("5" for COM5, "/dev/ttyUSB0"), with the analyser's
 * line settings, and makes a session of it. session is checked: null gives -18; portName null
 * gives -18. On success *session is the new session; on failure it is set to null and nothing
 * stays open.
 * @param portName the port, zero-terminated, as KVOpenComport takes it
 * @param session written: the new session, or null on failure
 * @return KV_OK (0), KV_ERR_ARGUMENT (-18), KV_ERR_PORT_OPEN (-50: cannot be opened, line settings, name
 *         too long), KV_ERR_PORT_QUEUES (-51). */
KV_API int32_t KV_CALL KVSessionOpen(const KVWChar* portName, KVSession** session) KV_NOEXCEPT;

/** The words of the last KVSessionOpen that failed on the calling thread (what was done, what the
 * system said: "opening the port: the port cannot be opened: No such file or directory [...]"), as
 * KVSessionGetLastError gives them for a session; empty when none has failed on this thread.
 * @param text written: the words and their terminator, cut to capacity characters
 * @param capacity of text, in characters
 * @return KV_OK (0), KV_ERR_ARGUMENT (-18: null text, capacity below 1). */
KV_API int32_t KV_CALL KVSessionGetOpenError(KVWChar* text, int32_t capacity) KV_NOEXCEPT;

/** Any thread: cancels the session, waits for the call in flight (if any) to return, closes the
 * port and frees the session. A null session does nothing. The session must not be used after.
 * @param session the session, or null */
KV_API void KV_CALL KVSessionClose(KVSession* session) KV_NOEXCEPT;

/** Any thread: cancels the session's work (see the thread contract).
 * @param session the session
 * @return KV_OK (0), KV_ERR_ARGUMENT (-18: null). */
KV_API int32_t KV_CALL KVSessionCancel(KVSession* session) KV_NOEXCEPT;

/** Time limits of this session in milliseconds. 0 restores the default; a negative value gives -18
 * and changes neither.
 * @param session the session
 * @param handshakeMilliseconds the wait for the handshake byte in KVSessionConnect (default 60000)
 * @param replySilenceMilliseconds the silence after which a receive gives up (default 3000)
 * @return KV_OK (0), KV_ERR_ARGUMENT (-18), KV_ERR_CANCELLED (-57), KV_ERR_BUSY (-58). */
KV_API int32_t KV_CALL KVSessionSetTimeouts(KVSession* session, int32_t handshakeMilliseconds,
                                            int32_t replySilenceMilliseconds) KV_NOEXCEPT;

/** Sets (or, with a null callback, removes) the progress callback and its user pointer.
 * @param session the session
 * @param callback called with the progress of each transfer, or null
 * @param user passed to callback unchanged
 * @return KV_OK (0), KV_ERR_ARGUMENT (-18: null session), KV_ERR_CANCELLED (-57), KV_ERR_BUSY (-58). */
KV_API int32_t KV_CALL KVSessionSetProgress(KVSession* session, KVProgressCallback callback, void* user) KV_NOEXCEPT;

/** Sets (or, with a null callback, removes) the trace callback and its user pointer; nothing is
 * traced before one is set.
 * @param session the session
 * @param callback called with every byte sent and received, or null
 * @param user passed to callback unchanged
 * @return KV_OK (0), KV_ERR_ARGUMENT (-18: null session), KV_ERR_CANCELLED (-57), KV_ERR_BUSY (-58). */
KV_API int32_t KV_CALL KVSessionSetTrace(KVSession* session, KVTraceCallback callback, void* user) KV_NOEXCEPT;

/** The last failure on this session in words: what was being done, what the port or analyser
 * did, and the system's error text where there is one; empty when nothing has failed. Written
 * into text with its terminator, cut to capacity characters. Any thread, also during a call.
 * @param session the session
 * @param text written: the words and their terminator
 * @param capacity of text, in characters
 * @return KV_OK (0), KV_ERR_ARGUMENT (-18: null session or text, capacity below 1). */
KV_API int32_t KV_CALL KVSessionGetLastError(KVSession* session, KVWChar* text, int32_t capacity) KV_NOEXCEPT;

/** @name The device-link exports on a session
 * The device-link exports of KorvantaSDK.h, one twin each on a session: the same arguments,
 * checks, outputs and codes as the export named, run on the session's own port, plus -18 for a
 * null session, -57 when the session is cancelled (before or during the call) and -58 while
 * another call on it is in flight. KVSessionConnect waits for the handshake as long as the
 * session's handshake limit. The two downloads report progress, and leave the caller's container
 * exactly as it was whenever they do not return 0 (unlike the exports of KorvantaSDK.h, which
 * keep what was received before a late failure). */
/** @{ */

/** KVConnect on a session: waits for the handshake as long as the session's handshake limit.
 * @param session the session
 * @return the codes of KVConnect; KV_ERR_ARGUMENT (-18) also for a null session, KV_ERR_CANCELLED (-57)
 *         when the session is cancelled, KV_ERR_BUSY (-58) while another call on it is in flight. */
KV_API int32_t KV_CALL KVSessionConnect(KVSession* session) KV_NOEXCEPT;
/** KVReadModelVersion on a session.
 * @param session the session
 * @param modelCode written: the analyser's model
 * @param version1 written: version byte 1
 * @param version2 written: version byte 2
 * @param version3 written: version byte 3
 * @param version4 written: version byte 4
 * @param version5 written: version byte 5
 * @return the codes of KVReadModelVersion; KV_ERR_ARGUMENT (-18) also for a null session, KV_ERR_CANCELLED (-57)
 *         when the session is cancelled, KV_ERR_BUSY (-58) while another call on it is in flight. */
KV_API int32_t KV_CALL KVSessionReadModelVersion(KVSession* session, int32_t* modelCode, uint8_t* version1,
                                                 uint8_t* version2, uint8_t* version3, uint8_t* version4,
                                                 uint8_t* version5) KV_NOEXCEPT;
/** KVReadProtocolInfo on a session.
 * @param session the session
 * @param protocol1 written: the first byte
 * @param protocol2 written: the second byte
 * @param protocol3 written: the third byte
 * @return the codes of KVReadProtocolInfo; KV_ERR_ARGUMENT (-18) also for a null session, KV_ERR_CANCELLED (-57)
 *         when the session is cancelled, KV_ERR_BUSY (-58) while another call on it is in flight. */
KV_API int32_t KV_CALL KVSessionReadProtocolInfo(KVSession* session, uint8_t* protocol1, uint8_t* protocol2,
                                                 uint8_t* protocol3) KV_NOEXCEPT;
/** KVReadSerialNumber on a session.
 * @param session the session
 * @param serialNumber written: the serial number
 * @return the codes of KVReadSerialNumber; KV_ERR_ARGUMENT (-18) also for a null session, KV_ERR_CANCELLED (-57)
 *         when the session is cancelled, KV_ERR_BUSY (-58) while another call on it is in flight. */
KV_API int32_t KV_CALL KVSessionReadSerialNumber(KVSession* session, uint32_t* serialNumber) KV_NOEXCEPT;
/** KVReadPrinterAddress on a session.
 * @param session the session
 * @param address written: the twelve characters, no terminator
 * @param capacity of address, in characters; at least 12
 * @return the codes of KVReadPrinterAddress; KV_ERR_ARGUMENT (-18) also for a null session, KV_ERR_CANCELLED (-57)
 *         when the session is cancelled, KV_ERR_BUSY (-58) while another call on it is in flight. */
KV_API int32_t KV_CALL KVSessionReadPrinterAddress(KVSession* session, KVWChar* address, int32_t capacity) KV_NOEXCEPT;
/** KVWritePrinterAddress on a session.
 * @param session the session
 * @param address read: the characters to send
 * @param length of address, in characters; at least 12
 * @return the codes of KVWritePrinterAddress; KV_ERR_ARGUMENT (-18) also for a null session, KV_ERR_CANCELLED (-57)
 *         when the session is cancelled, KV_ERR_BUSY (-58) while another call on it is in flight. */
KV_API int32_t KV_CALL KVSessionWritePrinterAddress(KVSession* session, const KVWChar* address,
                                                    int32_t length) KV_NOEXCEPT;
/** KVReadCurrentTime on a session.
 * @param session the session
 * @param time written: seconds since 1970 UTC
 * @param daylightSavingFlag > 0 summer time in effect, 0 not, < 0 found from the time-zone rules
 * @return the codes of KVReadCurrentTime; KV_ERR_ARGUMENT (-18) also for a null session, KV_ERR_CANCELLED (-57)
 *         when the session is cancelled, KV_ERR_BUSY (-58) while another call on it is in flight. */
KV_API int32_t KV_CALL KVSessionReadCurrentTime(KVSession* session, int64_t* time, int32_t daylightSavingFlag) KV_NOEXCEPT;
/** KVReadCalibrationTime on a session.
 * @param session the session
 * @param time written: seconds since 1970 UTC
 * @return the codes of KVReadCalibrationTime; KV_ERR_ARGUMENT (-18) also for a null session, KV_ERR_CANCELLED (-57)
 *         when the session is cancelled, KV_ERR_BUSY (-58) while another call on it is in flight. */
KV_API int32_t KV_CALL KVSessionReadCalibrationTime(KVSession* session, int64_t* time) KV_NOEXCEPT;
/** KVWriteCurrentTime on a session.
 * @param session the session
 * @return the codes of KVWriteCurrentTime; KV_ERR_ARGUMENT (-18) also for a null session, KV_ERR_CANCELLED (-57)
 *         when the session is cancelled, KV_ERR_BUSY (-58) while another call on it is in flight. */
KV_API int32_t KV_CALL KVSessionWriteCurrentTime(KVSession* session) KV_NOEXCEPT;
/** KVWriteCurrentTimeAs on a session.
 * @param session the session
 * @param time seconds since 1970 UTC
 * @return the codes of KVWriteCurrentTimeAs; KV_ERR_ARGUMENT (-18) also for a null session, KV_ERR_CANCELLED (-57)
 *         when the session is cancelled, KV_ERR_BUSY (-58) while another call on it is in flight. */
KV_API int32_t KV_CALL KVSessionWriteCurrentTimeAs(KVSession* session, int64_t time) KV_NOEXCEPT;
/** KVReadStoredTestData on a session: reports progress; leaves stored exactly as it was unless it returns 0.
 * @param session the session
 * @param stored the container: capacity read (must be 100), the rest written
 * @return the codes of KVReadStoredTestData; KV_ERR_ARGUMENT (-18) also for a null session, KV_ERR_CANCELLED (-57)
 *         when the session is cancelled, KV_ERR_BUSY (-58) while another call on it is in flight. */
KV_API int32_t KV_CALL KVSessionReadStoredTestData(KVSession* session, KVStoredTests* stored) KV_NOEXCEPT;
/** KVReadTestKorvanta on a session.
 * @param session the session
 * @param reading1 written: bytes 0-1
 * @param reading2 written: bytes 2-3
 * @param reading3 written: bytes 10-11
 * @param reading4 written: bytes 12-13
 * @param reading5 written: bytes 4-5
 * @param decimal1 written: bytes 6-7 divided by 10
 * @param decimal2 written: bytes 8-9 divided by 10
 * @return the codes of KVReadTestKorvanta; KV_ERR_ARGUMENT (-18) also for a null session, KV_ERR_CANCELLED (-57)
 *         when the session is cancelled, KV_ERR_BUSY (-58) while another call on it is in flight. */
KV_API int32_t KV_CALL KVSessionReadTestKorvanta(KVSession* session, int32_t* reading1, int32_t* reading2,
                                                 int32_t* reading3, int32_t* reading4, int32_t* reading5,
                                                 float* decimal1, float* decimal2) KV_NOEXCEPT;
/** CXReadStoredTestData on a session: reports progress; leaves stored exactly as it was unless it returns 0.
 * @param session the session
 * @param stored the container: capacity read (must be 100), the rest written
 * @return the codes of CXReadStoredTestData; KV_ERR_ARGUMENT (-18) also for a null session, KV_ERR_CANCELLED (-57)
 *         when the session is cancelled, KV_ERR_BUSY (-58) while another call on it is in flight. */
KV_API int32_t KV_CALL CXSessionReadStoredTestData(KVSession* session, CXStoredTests* stored) KV_NOEXCEPT;
/** CXReadTestCaballix on a session.
 * @param session the session
 * @param reading1 written: bytes 0-1
 * @param reading2 written: bytes 2-3
 * @param reading3 written: bytes 4-5
 * @param reading4 written: bytes 6-7
 * @param reading5 written: bytes 8-9
 * @param reading6 written: bytes 10-11
 * @param reading7 written: bytes 12-13
 * @param decimal written: bytes 14-15 divided by 10
 * @return the codes of CXReadTestCaballix; KV_ERR_ARGUMENT (-18) also for a null session, KV_ERR_CANCELLED (-57)
 *         when the session is cancelled, KV_ERR_BUSY (-58) while another call on it is in flight. */
KV_API int32_t KV_CALL CXSessionReadTestCaballix(KVSession* session, int32_t* reading1, int32_t* reading2,
                                                 int32_t* reading3, int32_t* reading4, int32_t* reading5,
                                                 int32_t* reading6, int32_t* reading7, float* decimal) KV_NOEXCEPT;

/** @} */

/* ---- Batch calculation: many tests in one call -------------------------- */

/** Results and normal ranges of count human tests, the same waterEquation for all. Test i gives
 * exactly, bit for bit on every build, what KVCalculateResults(&tests[i], &results[i], waterEquation)
 * and then, when that returns 0, KVCalculateNormals(&tests[i], &results[i], &normals[i]) give: the
 * same code runs for both. codes[i] is the results call's code when it is not 0, else the normals
 * call's. A refused test (codes[i] not 0, as -1 for an equine model or -3 for every test when
 * waterEquation is above 3) has results[i] and normals[i] all zero; the tests after it go on.
 * tests, results, normals and codes are arrays of count elements, checked when count is above 0.
 * Count 0 returns 0 and reads no pointer. Reentrant, any thread; allocates nothing.
 * @param tests read only: count tests
 * @param count the number of tests
 * @param waterEquation as KVCalculateResults takes it, for every test
 * @param results written: count records
 * @param normals written: count records
 * @param codes written: count codes, 0 or why the test was refused
 * @return KV_OK (0) once every test has its code; KV_ERR_ARGUMENT (-18) when count is negative or an
 *         array is null while count is above 0, and then nothing is written. */
KV_API int32_t KV_CALL KVCalculateMany(const KVTestRecord* tests, int32_t count, uint32_t waterEquation,
                                       KVResults* results, KVNormals* normals, int32_t* codes) KV_NOEXCEPT;

/** The same for count equine tests: CXCalculateResults, then, when it returns 0, CXCalculateNormals
 * (which then always returns 0), so codes[i] is 0 or the results call's code (-1: not an equine
 * model). A refused test has results[i] and normals[i] all zero, although CXCalculateResults alone
 * leaves its record untouched. Pointers, count and return codes as KVCalculateMany.
 * @param tests read only: count tests
 * @param count the number of tests
 * @param results written: count records
 * @param normals written: count records
 * @param codes written: count codes, 0 or KV_ERR_WRONG_KIND (-1)
 * @return KV_OK (0) once every test has its code; KV_ERR_ARGUMENT (-18) when count is negative or an
 *         array is null while count is above 0, and then nothing is written. */
KV_API int32_t KV_CALL CXCalculateMany(const CXTestRecord* tests, int32_t count, CXResults* results,
                                       CXNormals* normals, int32_t* codes) KV_NOEXCEPT;

/* ---- Ports: what this computer has, before any is opened -------------- */

/** What a serial port hangs off, in KVPortInfo::transport. */
enum KVTransport { KV_TRANSPORT_NATIVE = 0, KV_TRANSPORT_USB = 1, KV_TRANSPORT_BLUETOOTH = 2, KV_TRANSPORT_OTHER = 3 };
/** @var KV_TRANSPORT_NATIVE
 * a built-in UART */
/** @var KV_TRANSPORT_USB
 * a USB serial adapter */
/** @var KV_TRANSPORT_BLUETOOTH
 * a Bluetooth serial port */
/** @var KV_TRANSPORT_OTHER
 * any other port */

/** One serial port as the system describes it. Every text is UTF-16, terminated, cut to its field
 * (empty when the system does not say). */
typedef struct KVPortInfo {
  KVWChar name[64];             /**< what KVSessionOpen and KVOpenComport take: "/dev/ttyUSB0", "COM5" */
  KVWChar description[128];     /**< what the system calls it: "CP2102 USB to UART Bridge Controller" */
  int32_t transport;            /**< KVTransport */
  int32_t usbVendorId;          /**< 0 to 65535; -1 when not USB */
  int32_t usbProductId;         /**< 0 to 65535; -1 when not USB */
  KVWChar usbSerialNumber[64];  /**< the USB device's serial number */
  KVWChar manufacturer[64];     /**< the device's manufacturer, as the system names it */
  KVWChar product[64];          /**< the device's product name, as the system names it */
  KVWChar bluetoothAddress[18]; /**< "00:80:E1:9D:74:75"; empty when not Bluetooth */
} KVPortInfo;

/** Lists the serial ports with a device behind them (USB serial adapters, Bluetooth serial ports,
 * built-in UARTs that have one; no consoles or virtual terminals), ordered by name. Fills up to
 * capacity records of ports (each cleared first) and sets *count to how many ports there are: call
 * again with more room when it is larger. Never opens a port. count is checked, and ports when
 * capacity is above 0: null gives -18, as does a negative capacity.
 * @param ports written: up to capacity records
 * @param capacity of ports, in records
 * @param count written: how many ports there are
 * @return KV_OK (0), KV_ERR_ARGUMENT (-18). */
KV_API int32_t KV_CALL KVListPorts(KVPortInfo* ports, int32_t capacity, int32_t* count) KV_NOEXCEPT;

#ifdef __cplusplus
} /* extern "C" */
#endif

KV_STATIC_ASSERT(offsetof(KVPortInfo, description) == 128, "KVPortInfo.description");
KV_STATIC_ASSERT(offsetof(KVPortInfo, transport) == 384, "KVPortInfo.transport");
KV_STATIC_ASSERT(offsetof(KVPortInfo, usbSerialNumber) == 396, "KVPortInfo.usbSerialNumber");
KV_STATIC_ASSERT(offsetof(KVPortInfo, product) == 652, "KVPortInfo.product");
KV_STATIC_ASSERT(offsetof(KVPortInfo, bluetoothAddress) == 780, "KVPortInfo.bluetoothAddress");
KV_STATIC_ASSERT(sizeof(KVPortInfo) == 816, "KVPortInfo size");

#endif /* KORVANTA_SESSION_H */
