// The JSON buffer on arbitrary text: parse, look up, iterate, add, merge.
#include <cstddef>
#include <cstdint>
#include <string>

#include "json_buffer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  TJSONBuffer doc(text);
  for (const char* name : {"success", "body", "COMMANDS", "CMD", "DETAILS", "FILES", "FILE_NAME", "ERR_CODE", ""}) {
    const TJSONBuffer value = doc[name];
    value.AsString("d");
    value.AsInteger(7);
    value.AsBoolean();
  }
  TJSONBuffer commands = doc["body"]["COMMANDS"];
  TJSONBuffer item;
  std::string name;
  int guard = 0;
  for (bool more = doc.FirstSubItem(item, &name); more && guard < 10000; more = doc.NextSubItem(item, &name), ++guard) {
    item["CMD"].AsString();
  }
  guard = 0;
  for (bool more = commands.FirstSubItem(item); more && guard < 10000; more = commands.NextSubItem(item), ++guard) {
    TJSONBuffer details = item["DETAILS"];
    details.AddItem("HOST_URL", "127.0.0.1");
    details.AddItem("SN", "123456789012&ECR=1");
    item.AddItem("DETAILS", details);
  }
  // Splicing into whatever the text turned out to be.
  TJSONBuffer edited(text);
  edited.AddItem(text.substr(0, 8), "v");
  edited.AddItem("", 5);
  edited.AddItem("flag", true);
  edited += doc;
  TJSONBuffer merged(JSON_ARRAY);
  merged += doc;
  TJSONBuffer object(JSON_SUBTREE);
  object += doc;
  return 0;
}
