#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "molvex/link/message.h"
#include "molvex/platform/file_handles.h"
#include "molvex/platform/file_system.h"
#include "molvex/platform/system.h"
#include "molvex/services/slave_dispatcher.h"
#include "molvex/services/slave_hooks.h"
#include "molvex/services/slave_state.h"
#include "molvex/services/ui_calls.h"
#include "src/pc/ini_access.h"
#include "src/pc/paths.h"
#include "test_support.h"

// A request message with one command packet.
inline void FillRequest(LongMessage& request, uint8_t operation, uint8_t device, const std::vector<uint8_t>& body,
                        uint8_t extra = 0) {
  const uint32_t size = 5 + static_cast<uint32_t>(body.size());
  request.allocate(static_cast<int32_t>(size), 0);
  T_Message* msg = request.msg();
  msg->command = 0xA0;
  msg->length = static_cast<uint16_t>(size);
  uint8_t* data = msg->data();
  data[0] = operation;
  data[1] = device;
  data[2] = extra;
  data[3] = static_cast<uint8_t>(body.size());
  data[4] = static_cast<uint8_t>(body.size() >> 8);
  if (!body.empty()) std::memcpy(data + 5, body.data(), body.size());
}

// What came back for one request.
struct Answer {
  uint16_t status = 0;
  uint8_t command = 0;
  uint16_t length = 0;        // message data length
  uint16_t bodyLength = 0;    // as the packet says
  std::vector<uint8_t> body;  // the bytes that follow the packet header
  uint8_t operation = 0;
  uint8_t device = 0;
  uint8_t extra = 0;
};

inline Answer ReadAnswer(uint16_t status, LongMessage& reply) {
  Answer answer;
  answer.status = status;
  T_Message* msg = reply.msg();
  answer.command = msg->command;
  answer.length = msg->length;
  if (msg->length >= 5) {
    const uint8_t* data = msg->data();
    answer.operation = data[0];
    answer.device = data[1];
    answer.extra = data[2];
    answer.bodyLength = static_cast<uint16_t>(data[3] | (data[4] << 8));
    answer.body.assign(data + 5, data + msg->length);
  }
  return answer;
}

inline Answer Slave(uint8_t operation, uint8_t device, const std::vector<uint8_t>& body = {}, uint8_t extra = 0) {
  LongMessageDynamic request;
  LongMessageDynamic reply;
  FillRequest(request, operation, device, body, extra);
  uint16_t status = slvDoCommand(reply, request);
  return ReadAnswer(status, reply);
}

inline std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

inline std::vector<uint8_t> Le32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

inline std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

inline uint32_t Dword(const std::vector<uint8_t>& bytes, size_t at = 0) {
  return static_cast<uint32_t>(bytes.at(at) | (bytes.at(at + 1) << 8) | (bytes.at(at + 2) << 16) |
                               (static_cast<uint32_t>(bytes.at(at + 3)) << 24));
}

// Every folder and the default file system in a fresh temporary folder;
// the slave state, hooks and user-interface calls back to their start.
class ServicesFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    TLinStubExeSystem::ResetForTests();
    pcc_ResetPathsForTests();
    for (int path : {PathToCurrent, PathToProgram, PathToIni, PathToLog, PathToResult}) {
      pcc_SetPath(path, Folder().c_str());
    }
    UseFileSystem(std::make_unique<TLinFileSystem>(Folder().c_str()));
    slvResetForTests();
    slvResetHooksForTests();
    slvUiResetForTests();
    pcc_GetUImode() = 0;
  }
  void TearDown() override {
    slvResetForTests();
    slvResetHooksForTests();
    slvUiResetForTests();
    TLinStubExeSystem::ResetForTests();
    pcc_ResetPathsForTests();
  }
  void UseFileSystem(std::unique_ptr<TLinFileSystem> fs) {
    std::unique_ptr<IFileSystem> previous(ISystem::Instance()->ChangeDefaultFileSystem(fs.release()));
  }
  void WriteIni(const std::string& text) { testsupport::WriteFile(Path("pinpad.ini"), text); }

  std::string Folder() const { return dir_.path() + "/"; }
  std::string Path(const std::string& name) const { return dir_ / name; }

  testsupport::TempDir dir_;
};
