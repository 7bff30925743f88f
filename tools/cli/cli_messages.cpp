// cli_messages.cpp: advice and exit status per result code. One table; the names and meanings are the
// library's (kv::FindResultCode), never restated here.
#include "cli_messages.h"

#include <array>

#include "KorvantaSDK.h"
#include "result_codes.h"

namespace kv::cli {

namespace {

struct Advice {
  int32_t code;
  ExitStatus exit;
  std::string_view advice;
};

constexpr std::string_view kCheckInput = "correct the test's data and run the command again";

constexpr std::array kAdvice{
    Advice{KV_OK, ExitStatus::kOk, ""},
    Advice{KV_ERR_WRONG_KIND, ExitStatus::kWrongFamily,
           "the analyser or model code is of the other kind (human or equine): check the model code, or leave "
           "out --kind so the tool chooses by the analyser's family"},
    Advice{KV_ERR_WATER_EQUATION, ExitStatus::kUsage, "choose a water equation from 0 to 3"},
    Advice{KV_ERR_SEX, ExitStatus::kInvalidTest, kCheckInput},
    Advice{KV_ERR_AGE, ExitStatus::kInvalidTest, kCheckInput},
    Advice{KV_ERR_HEIGHT, ExitStatus::kInvalidTest, kCheckInput},
    Advice{KV_ERR_WEIGHT, ExitStatus::kInvalidTest, kCheckInput},
    Advice{KV_ERR_ACTIVITY, ExitStatus::kInvalidTest, kCheckInput},
    Advice{KV_ERR_WAIST, ExitStatus::kInvalidTest, kCheckInput},
    Advice{KV_ERR_HIP, ExitStatus::kInvalidTest, kCheckInput},
    Advice{KV_ERR_ARGUMENT, ExitStatus::kInvalidTest,
           "the spectrum models (Polytrace, Quattron 40 Panel) need the test's impedance spectrum: give it with "
           "--spectrum or a spectrum column"},
    Advice{KV_ERR_PORT_OPEN, ExitStatus::kPort,
           "check the port name (for example /dev/ttyUSB0 or COM5), that the analyser's cable or adapter is "
           "plugged in, and that no other program has the port open"},
    Advice{KV_ERR_PORT_QUEUES, ExitStatus::kPort, "the port's driver refused its buffer sizes: try another port or adapter"},
    Advice{KV_ERR_NO_HANDSHAKE, ExitStatus::kNoAnswer,
           "switch the analyser on, check the cable (or that it is in Bluetooth range) and run the command again"},
    Advice{KV_ERR_ECHO, ExitStatus::kProtocol,
           "the analyser answered something else: make sure nothing else talks on the line, switch the analyser "
           "off and on, and run the command again"},
    Advice{KV_ERR_ACK, ExitStatus::kProtocol,
           "switch the analyser off and on and run the command again; for a clock command, check the time given"},
    Advice{KV_ERR_RECEIVE, ExitStatus::kNoAnswer,
           "the analyser stopped answering: check that it is switched on and connected (or in Bluetooth range), "
           "then run the command again"},
    Advice{KV_ERR_SEND, ExitStatus::kNoAnswer, "nothing could be sent on the port: check the cable and the port"},
    Advice{KV_ERR_CANCELLED, ExitStatus::kCancelled, "the transfer was stopped before it ended; run the command again"},
    Advice{KV_ERR_BUSY, ExitStatus::kPort,
           "the port's session was still busy with another command: run one command at a time on one port"},
};

struct ExitMeaning {
  ExitStatus status;
  std::string_view meaning;
};

constexpr std::array kExitMeanings{
    ExitMeaning{ExitStatus::kOk, "success"},
    ExitMeaning{ExitStatus::kFailure, "some tests not calculated or another failure"},
    ExitMeaning{ExitStatus::kUsage, "bad arguments or input"},
    ExitMeaning{ExitStatus::kPort, "port cannot be opened"},
    ExitMeaning{ExitStatus::kNoAnswer, "analyser does not answer"},
    ExitMeaning{ExitStatus::kProtocol, "analyser answers wrongly"},
    ExitMeaning{ExitStatus::kWrongFamily, "analyser or model of the other kind"},
    ExitMeaning{ExitStatus::kInvalidTest, "test refused by the calculation"},
    ExitMeaning{ExitStatus::kNoBluetooth, "no Bluetooth radio or a Bluetooth step failed"},
    ExitMeaning{ExitStatus::kOutput, "output cannot be written"},
    ExitMeaning{ExitStatus::kCancelled, "stopped by the user (Ctrl-C)"},
};

const Advice* FindAdvice(int32_t code) {
  for (const Advice& entry : kAdvice)
    if (entry.code == code) return &entry;
  return nullptr;
}

}  // namespace

std::string CodeName(int32_t code) {
  if (const ResultCodeInfo* info = FindResultCode(code)) return info->name;
  return "code " + std::to_string(code);
}

std::string CodeMeaning(int32_t code) {
  if (const ResultCodeInfo* info = FindResultCode(code)) return info->meaning;
  return "not a result code of the library";
}

std::string_view CodeAdvice(int32_t code) {
  const Advice* entry = FindAdvice(code);
  return entry != nullptr ? entry->advice : "report this code to the analyser's supplier";
}

ExitStatus ExitStatusFor(int32_t code) {
  const Advice* entry = FindAdvice(code);
  return entry != nullptr ? entry->exit : ExitStatus::kFailure;
}

std::string FailureLine(std::string_view what, int32_t code) {
  std::string line(what);
  line += " failed: ";
  line += CodeMeaning(code);
  line += " (" + CodeName(code) + ", " + std::to_string(code) + ")";
  const std::string_view advice = CodeAdvice(code);
  if (!advice.empty()) {
    line += "; ";
    line += advice;
  }
  return line;
}

std::string ExitStatusHelp() {
  std::string help = "Exit status:";
  for (const auto& [status, meaning] : kExitMeanings) {
    help += status == ExitStatus::kOk ? " " : "; ";
    help += std::to_string(ToInt(status)) + " " + std::string(meaning);
  }
  return help + ".";
}

}  // namespace kv::cli
