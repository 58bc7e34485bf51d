#include "json_buffer.h"

#include <cstring>

#include "text.h"

namespace {

bool StartsWith(const char* text, size_t length, const char* word) {
  const size_t n = std::strlen(word);
  return length >= n && std::memcmp(text, word, n) == 0;
}

}  // namespace

TJSONBuffer::TJSONBuffer(JSONTYPE type) : type_(type) { InitArrayData(); }

TJSONBuffer::TJSONBuffer(const std::string& text) : text_(text) { Parse(); }

TJSONBuffer::TJSONBuffer(JSONTYPE type, const std::string& text) : type_(type), text_(text) { Parse(); }

TJSONBuffer& TJSONBuffer::operator=(const TJSONBuffer& other) {
  if (this != &other) {
    type_ = other.type_;
    text_ = other.text_;
    cursor_ = 0;
    valuePosition_ = 0;
  }
  return *this;
}

void TJSONBuffer::Clear() {
  text_.clear();
  type_ = JSON_UNDEFINED;
}

void TJSONBuffer::Parse() {
  if (type_ == JSON_UNDEFINED && !text_.empty()) type_ = GetJsonTypeFromChar(text_.data(), text_.size());
}

JSONTYPE TJSONBuffer::GetJsonTypeFromChar(const char* text, size_t length) {
  if (length == 0) return JSON_UNDEFINED;
  if (text[0] == '{') return JSON_SUBTREE;
  if (text[0] == '[') return JSON_ARRAY;
  if (text[0] == '"') return JSON_STRING;
  if (StartsWith(text, length, cTrue) || StartsWith(text, length, cFalse)) return JSON_BOOLEAN;
  if (IS_DIGIT_OR_DOT_(text[0])) return JSON_NUMBER;
  return JSON_UNDEFINED;
}

int32_t TJSONBuffer::FindNearestChar(const char* text, size_t length, char c) {
  const void* found = std::memchr(text, c, length);
  return found == nullptr ? -1 : static_cast<int32_t>(static_cast<const char*>(found) - text);
}

int32_t TJSONBuffer::FindMatchingChar(const char* text, size_t length, const char* pair) {
  // Only the brackets of this pair count, and those inside strings count
  // too: the text is never tokenised.
  int64_t depth = 0;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == pair[0]) {
      ++depth;
    } else if (text[i] == pair[1]) {
      if (--depth == 0) return static_cast<int32_t>(i);
    }
  }
  return -1;
}

int32_t TJSONBuffer::FindNearestMeaningChar(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    const char c = text[i];
    if (c == '{' || c == '"' || IS_DIGIT_OR_DOT_(c)) return static_cast<int32_t>(i);
    const size_t left = length - i;
    if (left < 4) return static_cast<int32_t>(i);
    if (std::memcmp(text + i, cTrue, 4) == 0) return static_cast<int32_t>(i);
    if (left < 5) return static_cast<int32_t>(i);
    if (std::memcmp(text + i, cFalse, 5) == 0) return static_cast<int32_t>(i);
  }
  return -1;
}

int32_t TJSONBuffer::GetJsonLength(size_t position, size_t count) const {
  if (position >= text_.size()) return -1;
  if (count > text_.size() - position) count = text_.size() - position;
  const char* p = text_.data() + position;
  switch (GetJsonTypeFromChar(p, count)) {
    case JSON_STRING: {
      const int32_t close = FindNearestChar(p + 1, count - 1, '"');
      return close < 0 ? -1 : close + 2;
    }
    case JSON_NUMBER: {
      int32_t n = 0;
      while (static_cast<size_t>(n) < count && IS_DIGIT_OR_DOT_(p[n])) ++n;
      return n;
    }
    case JSON_BOOLEAN:
      return StartsWith(p, count, cTrue) ? 4 : 5;
    case JSON_SUBTREE:
    case JSON_ARRAY: {
      const int32_t end = FindMatchingChar(p, count, p[0] == '{' ? cSubtreeChars : cArrayChars);
      return end < 0 ? -1 : end + 1;
    }
    case JSON_UNDEFINED:
      break;
  }
  return -1;
}

bool TJSONBuffer::IsEmpty() const {
  if (type_ == JSON_STRING || type_ == JSON_SUBTREE || type_ == JSON_ARRAY) return text_.size() < 3;
  return text_.empty();
}

bool TJSONBuffer::AsBoolean() const {
  return type_ == JSON_BOOLEAN && StartsWith(text_.data(), text_.size(), cTrue);
}

std::string TJSONBuffer::AsString(const std::string& defaultValue) const {
  if (type_ == JSON_STRING || type_ == JSON_UNDEFINED) {
    return text_.size() > 1 ? text_.substr(1, text_.size() - 2) : defaultValue;
  }
  return text_;
}

int32_t TJSONBuffer::AsInteger(int32_t defaultValue) const {
  if (type_ == JSON_NUMBER) return ferrow_text::DecimalToInt(text_);
  if (type_ == JSON_STRING && text_.size() > 2) {
    return ferrow_text::DecimalToInt(std::string_view(text_).substr(1, text_.size() - 2));
  }
  return defaultValue;
}

size_t TJSONBuffer::FindBufInValue(const std::string& needle) const { return text_.find(needle); }

size_t TJSONBuffer::FindNameInValue(const std::string& name) const { return FindBufInValue("\"" + name + "\""); }

TJSONBuffer TJSONBuffer::CopyValueAt(size_t position, int32_t length) const {
  if (length <= 0) return TJSONBuffer();
  return TJSONBuffer(text_.substr(position, static_cast<size_t>(length)));
}

TJSONBuffer TJSONBuffer::operator[](const std::string& name) const {
  if (type_ != JSON_SUBTREE) return TJSONBuffer();
  const size_t found = FindNameInValue(name);
  if (found == std::string::npos) return TJSONBuffer();
  size_t position = found + name.size() + 2;
  while (position < text_.size() && (text_[position] == ' ' || text_[position] == ':')) ++position;
  return CopyValueAt(position, GetJsonLength(position, text_.size() - position));
}

bool TJSONBuffer::FirstSubItem(TJSONBuffer& item, std::string* name) {
  cursor_ = 0;
  return NextSubItem(item, name);
}

bool TJSONBuffer::NextSubItem(TJSONBuffer& item, std::string* name) {
  StepSubItem(item, name);
  return !item.IsEmpty();
}

int32_t TJSONBuffer::StepSubItem(TJSONBuffer& item, std::string* name) {
  item.Clear();
  if (name != nullptr) name->clear();
  if (static_cast<size_t>(cursor_) + 2 >= text_.size()) return -1;
  if (type_ == JSON_SUBTREE) return NextSubItemInSubtree(item, name);
  if (type_ == JSON_ARRAY) return NextSubItemInArray(item);
  return -1;
}

int32_t TJSONBuffer::NextSubItemInSubtree(TJSONBuffer& item, std::string* name) {
  const size_t open = text_.find('"', cursor_);
  if (open == std::string::npos) return -1;
  const size_t close = text_.find('"', open + 1);
  if (close == std::string::npos) {
    cursor_ = static_cast<uint32_t>(text_.size());
    return -1;
  }
  if (name != nullptr) *name = text_.substr(open + 1, close - open - 1);
  size_t position = close + 1;
  while (position < text_.size() && (text_[position] == ' ' || text_[position] == ':')) ++position;
  valuePosition_ = static_cast<uint32_t>(position);
  const int32_t length = GetJsonLength(position, text_.size() - position);
  item = CopyValueAt(position, length);
  cursor_ = static_cast<uint32_t>(position + static_cast<size_t>(length > 0 ? length : 0) + 1);
  return length;
}

int32_t TJSONBuffer::NextSubItemInArray(TJSONBuffer& item) {
  const int32_t offset = FindNearestMeaningChar(text_.data() + cursor_, text_.size() - cursor_);
  if (offset < 0) {
    cursor_ = static_cast<uint32_t>(text_.size());
    return -1;
  }
  const size_t position = cursor_ + static_cast<size_t>(offset);
  valuePosition_ = static_cast<uint32_t>(position);
  const int32_t length = GetJsonLength(position, text_.size() - position);
  item = CopyValueAt(position, length);
  cursor_ = static_cast<uint32_t>(position + static_cast<size_t>(length > 0 ? length : 0) + 1);
  return length;
}

void TJSONBuffer::InitArrayData() {
  if (!text_.empty()) return;
  if (type_ == JSON_SUBTREE) text_ = cSubtreeChars;
  if (type_ == JSON_ARRAY) text_ = cArrayChars;
}

void TJSONBuffer::AddValueData(const std::string& text, size_t position) {
  if (position > text_.size()) position = text_.size();
  std::string piece;
  if (position + 1 == text_.size() && text_.size() > 2) piece += ',';
  piece += text;
  if ((position > 0 && text_[position - 1] == ',') || (position == 1 && text_.size() > 2)) piece += ',';
  text_.insert(position, piece);
}

bool TJSONBuffer::TryToReplaceItem(const std::string& name, const TJSONBuffer& value, size_t& insertAt) {
  // Every member that can be measured is visited, an empty string value
  // included: stopping there would add a second member of the same name
  // instead of replacing the first.
  insertAt = 1;
  TJSONBuffer member;
  std::string memberName;
  cursor_ = 0;
  while (StepSubItem(member, &memberName) > 0) {
    const int cmp = memberName.compare(name);
    if (cmp == 0) {
      text_.replace(valuePosition_, member.GetLength(), value.GetData());
      return true;
    }
    if (cmp > 0) return false;
    insertAt = valuePosition_ + member.GetLength() + 1;
  }
  insertAt = text_.empty() ? 0 : text_.size() - 1;
  return false;
}

void TJSONBuffer::AddItem(const std::string& name, const TJSONBuffer& value) {
  if (type_ == JSON_UNDEFINED) type_ = name.empty() ? JSON_ARRAY : JSON_SUBTREE;
  InitArrayData();
  if (text_.empty()) return;
  if (type_ == JSON_SUBTREE) {
    size_t insertAt = 1;
    if (TryToReplaceItem(name, value, insertAt)) return;
    AddValueData("\"" + name + "\":" + value.GetData(), insertAt);
  } else if (type_ == JSON_ARRAY) {
    AddValueData(value.GetData(), text_.size() - 1);
  }
}

void TJSONBuffer::AddItem(const std::string& name, const std::string& text) {
  AddItem(name, TJSONBuffer(JSON_STRING, "\"" + text + "\""));
}

void TJSONBuffer::AddItem(const std::string& name, bool flag) {
  AddItem(name, TJSONBuffer(JSON_BOOLEAN, flag ? cTrue : cFalse));
}

void TJSONBuffer::AddNumber(const std::string& name, uint32_t number) {
  AddItem(name, ferrow_text::Format("%lu", static_cast<unsigned long>(number)));
}

void TJSONBuffer::AddItemIfNotEmpty(const std::string& name, const std::string& text) {
  if (!text.empty()) AddItem(name, text);
}

TJSONBuffer& TJSONBuffer::operator+=(const TJSONBuffer& other) {
  if (other.IsEmpty()) return *this;
  if (type_ == JSON_UNDEFINED) {
    type_ = other.type_;
    InitArrayData();
  }
  if (type_ == JSON_ARRAY && other.type_ == JSON_ARRAY && !text_.empty() && other.text_.size() >= 2) {
    AddValueData(other.text_.substr(1, other.text_.size() - 2), text_.size() - 1);
  } else if (type_ == JSON_SUBTREE && other.type_ == JSON_SUBTREE) {
    TJSONBuffer source(other);
    TJSONBuffer member;
    std::string name;
    while (source.StepSubItem(member, &name) > 0) AddItem(name, member);
  }
  return *this;
}
