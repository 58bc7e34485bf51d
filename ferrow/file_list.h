// Lists of files under hash control ("filelist.txt") and their hashes.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "file_system.h"

class TFileList {
 public:
  static constexpr size_t kMaxLine = 200;

  TFileList(const std::string& listName, TFileSystem* fileSystem);
  // False when the list file cannot be opened.
  bool Load();
  // One name per line, CR LF after each; false when it cannot be created.
  bool Save() const;
  void AddString(const std::string& name);
  std::string GetFirstString();
  std::string GetNextString();
  void RemoveStringsListedInAnotherList(const TFileList& other);
  const std::set<std::string>& GetStrings() const { return strings_; }

 protected:
  std::string listName_;
  TFileSystem* fileSystem_;
  std::set<std::string> strings_;
  std::set<std::string>::const_iterator position_;
};

struct TFileTraits {
  std::string name;
  std::string secondName;
  uint8_t hash[20] = {};
  uint64_t size = 0;
};

class TFilesChecker : public TFileList {
 public:
  using Hash = std::vector<uint8_t>;

  TFilesChecker(const std::string& listName, TFileSystem* fileSystem) : TFileList(listName, fileSystem) {}
  // Byte-wise sum (modulo 256, no carry) of the hashes of the listed files;
  // 20 zero bytes when there is no list.
  Hash CalcHash();
  Hash CalcHashWithDetails(std::vector<TFileTraits>* details);
  Hash CalcFileHash(const std::string& name) const;
  Hash CalcFileHashAndSize(const std::string& name, uint64_t& size) const;
  TFileList& GetList() { return *this; }
};

// SHA-1 of a whole file read in large pieces; false when it cannot be opened.
bool HashFile(const TFileSystem& fileSystem, const std::string& name, std::vector<uint8_t>& hash, uint64_t& size);
