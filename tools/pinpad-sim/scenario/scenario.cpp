#include "scenario.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace pinpadsim {

namespace {

bool Substitute(const std::string& in, const std::map<std::string, std::string>& vars, std::string& out,
                std::string* missing) {
  out.clear();
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '$' && i + 1 < in.size() && in[i + 1] == '{') {
      size_t end = in.find('}', i + 2);
      if (end == std::string::npos) {
        out += in.substr(i);
        break;
      }
      std::string name = in.substr(i + 2, end - i - 2);
      auto it = vars.find(name);
      if (it == vars.end()) {
        *missing = name;
        return false;
      }
      out += it->second;
      i = end;
    } else {
      out += in[i];
    }
  }
  return true;
}

bool KnownKeyword(const std::string& word) {
  for (const KeywordHelp& k : ScenarioKeywords()) {
    if (word == k.keyword) return true;
  }
  return false;
}

}  // namespace

std::string Step::Text(const std::string& key, const std::string& fallback) const {
  auto it = args.find(key);
  return it == args.end() ? fallback : it->second;
}

int64_t Step::Number(const std::string& key, int64_t fallback) const {
  auto it = args.find(key);
  if (it == args.end() || it->second.empty()) return fallback;
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(it->second.c_str(), &end, 0);
  if (errno != 0 || *end != '\0') return fallback;
  return v;
}

bool ParseScenario(const std::string& text, const std::map<std::string, std::string>& variables, Scenario& out,
                   std::string* error) {
  out.steps.clear();
  std::istringstream lines(text);
  std::string raw;
  int number = 0;
  auto fail = [&](const std::string& why) {
    *error = "line " + std::to_string(number) + ": " + why;
    return false;
  };
  while (std::getline(lines, raw)) {
    ++number;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    std::string line;
    std::string missing;
    if (!Substitute(raw, variables, line, &missing)) return fail("no value for ${" + missing + "}");
    size_t i = 0;
    auto skipBlanks = [&] {
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    };
    skipBlanks();
    if (i >= line.size() || line[i] == '#') continue;
    Step step;
    step.line = number;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') step.keyword += line[i++];
    if (!KnownKeyword(step.keyword)) return fail("unknown step '" + step.keyword + "'");
    for (;;) {
      skipBlanks();
      if (i >= line.size() || line[i] == '#') break;
      std::string key;
      while (i < line.size() && line[i] != '=' && line[i] != ' ' && line[i] != '\t') key += line[i++];
      if (i >= line.size() || line[i] != '=') return fail("'" + key + "' has no value");
      ++i;
      std::string value;
      if (i < line.size() && line[i] == '"') {
        ++i;
        bool closed = false;
        while (i < line.size()) {
          char c = line[i++];
          if (c == '"') {
            closed = true;
            break;
          }
          if (c == '\\' && i < line.size()) {
            char e = line[i++];
            value += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
          } else {
            value += c;
          }
        }
        if (!closed) return fail("unterminated text");
      } else {
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') value += line[i++];
      }
      step.args[key] = value;
    }
    if (step.keyword == "name") {
      out.name = step.Text("text");
      continue;
    }
    out.steps.push_back(std::move(step));
  }
  return true;
}

bool LoadScenario(const std::string& path, const std::map<std::string, std::string>& variables, Scenario& out,
                  std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  if (!ParseScenario(text.str(), variables, out, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

const std::vector<KeywordHelp>& ScenarioKeywords() {
  static const std::vector<KeywordHelp> keywords = {
      {"name", "text=...  a title for the scenario"},
      {"pinpad", "model=P version=16 caps=1 status-timeout=0 model-name=...  how the PIN pad answers the readiness test"},
      {"expect", "op=1 amount=10000 track2=... tag-XXXX=hex form=tlv|fixed  wait for the operation request and check it"},
      {"expect-status", "request-id=0x1A2B flag=1 amount=10000  wait for a status request (operations 12 and 41)"},
      {"call", "dev=N op=N body=hex want-status=0  one raw service request (master call)"},
      {"print-begin", "start a new cheque"},
      {"print", "text=... attr=0x10  print a cheque line (attr: 0x80 inverse, 0x40 wide, 0x20 high, 0x10 bold)"},
      {"print-end", "finish the cheque"},
      {"file-open", "name=... mode=W storage=F  open a file of the PC file service"},
      {"file-write", "offset=0 text=...  write into it"},
      {"file-read", "offset=0 count=N want=...  read from it and check the bytes"},
      {"file-close", "close it"},
      {"host-open", "address=127.0.0.1 port=N channel=20 async=1 listen=1 want-status=0  open a host channel through the relay"},
      {"host-write", "text=... or hex=...  send bytes to the host"},
      {"host-read", "count=N wait=2000 async=1 want=...  read the host's bytes and check them"},
      {"host-close", "close the channel"},
      {"reboot", "ms=20000  announce a reboot; the PIN pad waits until the PC has reopened its port"},
      {"heartbeat", "seconds=5 status=1  heartbeat data (no reply)"},
      {"pause", "ms=500  stay silent"},
      {"notify", "command=0x50 count=2 within=5000  wait for notifications from the PC"},
      {"answer", "code=0 auth=... rrn=... slip=... card=... message=... terminal=... card-name=... id=foreign  the final answer (fixed record)"},
      {"answer-tagged", "tag-9B=\"00\" tag-8C=... hex-XXXX=...  the final answer as a tagged list"},
      {"answer-code", "code=N command=0  a short final answer carrying only a result code"},
      {"vanish", "the PIN pad disappears: the port goes away"},
  };
  return keywords;
}

}  // namespace pinpadsim
