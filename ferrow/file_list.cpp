#include "file_list.h"

#include <memory>

#include "sha1.h"
#include "text.h"

TFileList::TFileList(const std::string& listName, TFileSystem* fileSystem)
    : listName_(listName), fileSystem_(fileSystem), position_(strings_.end()) {}

bool TFileList::Load() {
  strings_.clear();
  position_ = strings_.end();
  std::string content;
  if (!fileSystem_->ReadAll(listName_, content)) return false;
  std::string line;
  auto flush = [&] {
    if (!line.empty()) strings_.insert(line.substr(0, kMaxLine));
    line.clear();
  };
  for (char c : content) {
    if (c == '\r' || c == '\n') {
      flush();
    } else {
      line.push_back(c);
    }
  }
  flush();
  return true;
}

bool TFileList::Save() const {
  TFile file = fileSystem_->OpenForWrite(listName_);
  if (!file.IsOpen()) return false;
  std::string content;
  for (const auto& name : strings_) content += name + "\r\n";
  return file.WriteAll(content.data(), content.size());
}

void TFileList::AddString(const std::string& name) { strings_.insert(name); }

std::string TFileList::GetFirstString() {
  position_ = strings_.begin();
  return GetNextString();
}

std::string TFileList::GetNextString() {
  if (position_ == strings_.end()) return "";
  return *position_++;
}

void TFileList::RemoveStringsListedInAnotherList(const TFileList& other) {
  for (const auto& name : other.strings_) strings_.erase(name);
  position_ = strings_.end();
}

bool HashFile(const TFileSystem& fileSystem, const std::string& name, std::vector<uint8_t>& hash, uint64_t& size) {
  TFile file = fileSystem.OpenForRead(name);
  if (!file.IsOpen()) return false;
  // Large pieces rather than the whole file at once: the same hash without
  // holding a big package in memory.
  constexpr size_t kPiece = 1 << 20;
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kPiece]);
  TSha1 sha;
  size = 0;
  for (;;) {
    const int64_t got = file.Read(buffer.get(), kPiece);
    if (got < 0) return false;
    if (got == 0) break;
    sha.AddData(buffer.get(), static_cast<size_t>(got));
    size += static_cast<uint64_t>(got);
  }
  hash = sha.Finalize();
  return true;
}

TFilesChecker::Hash TFilesChecker::CalcFileHashAndSize(const std::string& name, uint64_t& size) const {
  Hash hash;
  size = 0;
  bool opened = HashFile(*fileSystem_, name, hash, size);
  if (!opened && name.size() >= 5 && name.compare(name.size() - 4, 4, ".new") == 0) {
    opened = HashFile(*fileSystem_, name.substr(0, name.size() - 4), hash, size);
  }
  if (size == 0) {
    std::string stored;
    if (fileSystem_->ReadAll(name + ".hsh", stored) && stored.size() == 20) {
      hash.assign(stored.begin(), stored.end());
    } else {
      hash = TSha1().HashData("", 0);
    }
  }
  return hash;
}

TFilesChecker::Hash TFilesChecker::CalcFileHash(const std::string& name) const {
  uint64_t size = 0;
  return CalcFileHashAndSize(name, size);
}

TFilesChecker::Hash TFilesChecker::CalcHashWithDetails(std::vector<TFileTraits>* details) {
  Hash sum(20, 0);
  if (details != nullptr) details->clear();
  if (!Load()) return sum;
  for (const auto& entry : strings_) {
    TFileTraits traits;
    const size_t equals = entry.find('=');
    traits.name = equals == std::string::npos ? entry : entry.substr(0, equals);
    traits.secondName = equals == std::string::npos ? entry : entry.substr(equals + 1);
    const Hash hash = CalcFileHashAndSize(traits.name, traits.size);
    for (size_t i = 0; i < 20; ++i) {
      sum[i] = static_cast<uint8_t>(sum[i] + hash[i]);
      traits.hash[i] = hash[i];
    }
    if (details != nullptr) details->push_back(traits);
  }
  return sum;
}

TFilesChecker::Hash TFilesChecker::CalcHash() { return CalcHashWithDetails(nullptr); }
