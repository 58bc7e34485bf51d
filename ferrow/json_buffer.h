// A JSON value held as its own text with a type tag. Reading searches the
// text, writing splices text into it; there is no document tree.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

enum JSONTYPE {
  JSON_UNDEFINED = 0,
  JSON_STRING = 1,
  JSON_NUMBER = 2,
  JSON_BOOLEAN = 3,
  JSON_SUBTREE = 4,
  JSON_ARRAY = 5,
};

class TJSONBuffer {
 public:
  static constexpr const char* cTrue = "true";
  static constexpr const char* cFalse = "false";
  static constexpr const char* cSubtreeChars = "{}";
  static constexpr const char* cArrayChars = "[]";

  TJSONBuffer() = default;
  explicit TJSONBuffer(JSONTYPE type);
  explicit TJSONBuffer(const std::string& text);
  explicit TJSONBuffer(const char* text) : TJSONBuffer(std::string(text)) {}
  TJSONBuffer(JSONTYPE type, const std::string& text);
  TJSONBuffer(const TJSONBuffer& other) : type_(other.type_), text_(other.text_) {}
  TJSONBuffer& operator=(const TJSONBuffer& other);

  void Clear();
  void Parse();

  JSONTYPE GetType() const { return type_; }
  size_t GetLength() const { return text_.size(); }
  const std::string& GetData() const { return text_; }
  const std::string& GetValue() const { return text_; }
  bool IsEmpty() const;
  bool AsBoolean() const;
  std::string AsString(const std::string& defaultValue = "") const;
  int32_t AsInteger(int32_t defaultValue = 0) const;

  // First occurrence of the quoted name anywhere in an object's text.
  TJSONBuffer operator[](const std::string& name) const;

  bool FirstSubItem(TJSONBuffer& item, std::string* name = nullptr);
  bool NextSubItem(TJSONBuffer& item, std::string* name = nullptr);

  void AddItem(const std::string& name, const TJSONBuffer& value);
  void AddItem(const std::string& name, const std::string& text);
  void AddItem(const std::string& name, const char* text) { AddItem(name, std::string(text)); }
  void AddItem(const std::string& name, bool flag);
  template <typename T>
    requires(std::is_integral_v<T> && !std::is_same_v<T, bool>)
  void AddItem(const std::string& name, T number) {
    AddNumber(name, static_cast<uint32_t>(number));
  }
  void AddItemIfNotEmpty(const std::string& name, const std::string& text);
  TJSONBuffer& operator+=(const TJSONBuffer& other);
  void InitArrayData();

  // Lower-level pieces, public so that they can be checked one by one.
  static JSONTYPE GetJsonTypeFromChar(const char* text, size_t length);
  // Length of the value beginning at position, looking at no more than
  // count bytes; 0 or less when no value begins there.
  int32_t GetJsonLength(size_t position, size_t count) const;

 private:
  static int32_t FindMatchingChar(const char* text, size_t length, const char* pair);
  static int32_t FindNearestChar(const char* text, size_t length, char c);
  static int32_t FindNearestMeaningChar(const char* text, size_t length);
  size_t FindBufInValue(const std::string& needle) const;
  size_t FindNameInValue(const std::string& name) const;
  bool TryToReplaceItem(const std::string& name, const TJSONBuffer& value, size_t& insertAt);
  void AddValueData(const std::string& text, size_t position);
  // One iteration step; returns the measured length of the value produced
  // (0 or less when none could be measured).
  int32_t StepSubItem(TJSONBuffer& item, std::string* name);
  int32_t NextSubItemInSubtree(TJSONBuffer& item, std::string* name);
  int32_t NextSubItemInArray(TJSONBuffer& item);
  void AddNumber(const std::string& name, uint32_t number);
  TJSONBuffer CopyValueAt(size_t position, int32_t length) const;

  JSONTYPE type_ = JSON_UNDEFINED;
  std::string text_;
  uint32_t cursor_ = 0;
  uint32_t valuePosition_ = 0;
};

inline bool IS_DIGIT_OR_DOT_(char c) { return (c >= '0' && c <= '9') || c == '.'; }
