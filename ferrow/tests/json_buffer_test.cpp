#include "json_buffer.h"

#include <gtest/gtest.h>

namespace {

TEST(JsonBuffer, TypeComesFromTheFirstByte) {
  struct Case {
    const char* text;
    JSONTYPE type;
  } cases[] = {
      {"{\"a\":1}", JSON_SUBTREE}, {"[1]", JSON_ARRAY},     {"\"x\"", JSON_STRING},  {"true", JSON_BOOLEAN},
      {"false", JSON_BOOLEAN},     {"tru", JSON_UNDEFINED}, {"fals", JSON_UNDEFINED}, {"12", JSON_NUMBER},
      {".5", JSON_NUMBER},         {"-1", JSON_UNDEFINED},  {" {}", JSON_UNDEFINED}, {"\n{}", JSON_UNDEFINED},
      {"null", JSON_UNDEFINED},    {"", JSON_UNDEFINED},
  };
  for (const auto& c : cases) EXPECT_EQ(TJSONBuffer(c.text).GetType(), c.type) << c.text;
}

TEST(JsonBuffer, LookupsAndConversions) {
  const TJSONBuffer doc("{\"A\":1,\"B\":\"x\",\"C\":\"27013\",\"D\":true,\"E\":{\"F\":[1,2]},\"G\":12.5}");
  struct Case {
    const char* name;
    JSONTYPE type;
    const char* asString;
    int32_t asInteger;  // with default -7
  } cases[] = {
      {"A", JSON_NUMBER, "1", 1},
      {"B", JSON_STRING, "x", 72},  // 'x' - '0' = 72: nothing is validated
      {"C", JSON_STRING, "27013", 27013},
      {"D", JSON_BOOLEAN, "true", -7},
      {"E", JSON_SUBTREE, "{\"F\":[1,2]}", -7},
      {"F", JSON_ARRAY, "[1,2]", -7},  // nested names are found too
      {"missing", JSON_UNDEFINED, "dflt", -7},
  };
  for (const auto& c : cases) {
    const TJSONBuffer value = doc[c.name];
    EXPECT_EQ(value.GetType(), c.type) << c.name;
    EXPECT_EQ(value.AsString("dflt"), c.asString) << c.name;
    EXPECT_EQ(value.AsInteger(-7), c.asInteger) << c.name;
  }
  EXPECT_TRUE(doc["D"].AsBoolean());
  EXPECT_FALSE(doc["A"].AsBoolean());
  EXPECT_EQ(TJSONBuffer("{}")["x"].AsInteger(44002), 44002);
}

TEST(JsonBuffer, FirstOccurrenceWinsAtAnyDepth) {
  EXPECT_EQ(TJSONBuffer("{\"DETAILS\":{\"CMD\":\"X\"},\"CMD\":\"Y\"}")["CMD"].AsString(), "X");
  // The name found as a string value: no value follows it, so the lookup is empty.
  EXPECT_EQ(TJSONBuffer("{\"A\":\"B\",\"B\":1}")["B"].GetType(), JSON_UNDEFINED);
  // Lookups answer only on objects.
  EXPECT_EQ(TJSONBuffer(" {\"success\":true}")["success"].GetType(), JSON_UNDEFINED);
  EXPECT_EQ(TJSONBuffer("[{\"a\":1}]")["a"].GetType(), JSON_UNDEFINED);
}

TEST(JsonBuffer, BracketsInsideStringsAreCounted) {
  const TJSONBuffer doc("{\"A\":{\"s\":\"}\",\"t\":1},\"B\":2}");
  // The inner object is measured as ending at the brace inside the string.
  EXPECT_EQ(doc["A"].GetValue(), "{\"s\":\"}");
  // An unbalanced document has no measurable object values.
  EXPECT_EQ(TJSONBuffer("{\"A\":{\"b\":{\"c\":1}")["A"].GetType(), JSON_UNDEFINED);
  EXPECT_EQ(TJSONBuffer("{\"A\":\"open")["A"].GetType(), JSON_UNDEFINED);
}

TEST(JsonBuffer, IteratesObjectsAndArrays) {
  TJSONBuffer array("[{\"a\":1},{\"b\":2}]");
  TJSONBuffer item;
  std::vector<std::string> seen;
  for (bool more = array.FirstSubItem(item); more; more = array.NextSubItem(item)) seen.push_back(item.GetValue());
  EXPECT_EQ(seen, (std::vector<std::string>{"{\"a\":1}", "{\"b\":2}"}));

  TJSONBuffer empty("[]");
  EXPECT_FALSE(empty.FirstSubItem(item));

  TJSONBuffer mixed("[ 1, \"two\", true, false, {\"x\":[3]} ]");
  seen.clear();
  for (bool more = mixed.FirstSubItem(item); more; more = mixed.NextSubItem(item)) seen.push_back(item.GetValue());
  EXPECT_EQ(seen, (std::vector<std::string>{"1", "\"two\"", "true", "false", "{\"x\":[3]}"}));

  TJSONBuffer object("{\"k1\":\"v\",\"k2\":[1,2],\"k3\":{\"n\":1}}");
  std::string name;
  std::vector<std::string> names;
  for (bool more = object.FirstSubItem(item, &name); more; more = object.NextSubItem(item, &name)) {
    names.push_back(name + "=" + item.GetValue());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"k1=\"v\"", "k2=[1,2]", "k3={\"n\":1}"}));

  TJSONBuffer number("12");
  EXPECT_FALSE(number.FirstSubItem(item));
}

TEST(JsonBuffer, AddingKeepsMembersSortedAndReplacesInPlace) {
  TJSONBuffer doc;
  doc.AddItem("SN", "1");
  doc.AddItem("MODEL_T", "X");
  doc.AddItem("KCV_KLK", "000000");
  doc.AddItem("ok", true);
  EXPECT_EQ(doc.GetValue(), "{\"KCV_KLK\":\"000000\",\"MODEL_T\":\"X\",\"SN\":\"1\",\"ok\":true}");
  doc.AddItem("SN", "2");
  EXPECT_EQ(doc.GetValue(), "{\"KCV_KLK\":\"000000\",\"MODEL_T\":\"X\",\"SN\":\"2\",\"ok\":true}");

  struct Case {
    const char* start;
    const char* name;
    const char* result;
  } cases[] = {
      {"{}", "A", "{\"A\":\"5\"}"},
      {"{\"B\":\"1\"}", "A", "{\"A\":\"5\",\"B\":\"1\"}"},
      {"{\"A\":\"1\",\"C\":\"3\"}", "B", "{\"A\":\"1\",\"B\":\"5\",\"C\":\"3\"}"},
      {"{\"A\":\"1\"}", "_", "{\"A\":\"1\",\"_\":\"5\"}"},
      {"{\"_\":\"1\"}", "a", "{\"_\":\"1\",\"a\":\"5\"}"},
      {"{\"A\":{\"N\":\"0\"},\"N\":\"1\"}", "N", "{\"A\":{\"N\":\"0\"},\"N\":\"5\"}"},
      // An empty string value does not hide the members after it.
      {"{\"A\":\"\",\"N\":\"1\"}", "N", "{\"A\":\"\",\"N\":\"5\"}"},
  };
  for (const auto& c : cases) {
    TJSONBuffer buffer(c.start);
    buffer.AddItem(c.name, 5);
    EXPECT_EQ(buffer.GetValue(), c.result) << c.start;
  }
}

TEST(JsonBuffer, ArraysAndOtherTypesOnAdd) {
  TJSONBuffer array;
  array.AddItem("", TJSONBuffer("{\"a\":1}"));
  array.AddItem("", "x");
  EXPECT_EQ(array.GetValue(), "[{\"a\":1},\"x\"]");
  TJSONBuffer text("\"s\"");
  text.AddItem("n", "v");
  EXPECT_EQ(text.GetValue(), "\"s\"");
  TJSONBuffer unescaped;
  unescaped.AddItem("q", "a\"b");
  EXPECT_EQ(unescaped.GetValue(), "{\"q\":\"a\"b\"}");
  TJSONBuffer maybe;
  maybe.AddItemIfNotEmpty("a", "");
  EXPECT_EQ(maybe.GetType(), JSON_UNDEFINED);
}

TEST(JsonBuffer, Merging) {
  TJSONBuffer left("[1,2]");
  left += TJSONBuffer("[3,4]");
  EXPECT_EQ(left.GetValue(), "[1,2,3,4]");
  TJSONBuffer empty(JSON_ARRAY);
  empty += TJSONBuffer("[3]");
  EXPECT_EQ(empty.GetValue(), "[3]");
  TJSONBuffer object("{\"A\":\"1\",\"C\":\"3\"}");
  object += TJSONBuffer("{\"B\":\"2\",\"C\":\"9\"}");
  EXPECT_EQ(object.GetValue(), "{\"A\":\"1\",\"B\":\"2\",\"C\":\"9\"}");
  TJSONBuffer untyped;
  untyped += TJSONBuffer("{\"Z\":1}");
  EXPECT_EQ(untyped.GetValue(), "{\"Z\":1}");
  TJSONBuffer unchanged("[1]");
  unchanged += TJSONBuffer("{\"Z\":1}");
  unchanged += TJSONBuffer("[]");
  EXPECT_EQ(unchanged.GetValue(), "[1]");
}

TEST(JsonBuffer, EmptinessPerType) {
  EXPECT_TRUE(TJSONBuffer("\"\"").IsEmpty());
  EXPECT_TRUE(TJSONBuffer("{}").IsEmpty());
  EXPECT_FALSE(TJSONBuffer("0").IsEmpty());
  EXPECT_TRUE(TJSONBuffer(JSON_NUMBER).IsEmpty());
  EXPECT_EQ(TJSONBuffer(JSON_SUBTREE).GetValue(), "{}");
}

}  // namespace
