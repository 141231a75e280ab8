// A small JSON writer for the command-line tool's machine-readable output: compact, numbers that read
// back exactly (integers in full, floats with 9 significant digits), no dependency.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace melvox::cli {

// Writes one JSON value to a stream as the calls arrive. Commas and colons are placed by the writer;
// the caller pairs Begin/End calls and gives a Key before each member of an object.
class JsonWriter {
 public:
  explicit JsonWriter(std::FILE* out) : out_(out) {}

  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(const char* key);
  JsonWriter& Int(int64_t value);
  // %.9g, which every float reads back from exactly; NaN and infinities (which JSON cannot hold)
  // become null.
  JsonWriter& Float(float value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();
  JsonWriter& String(const std::string& value);

 private:
  // Writes the comma that separates this value from the previous one at the same level.
  void BeforeValue();
  void Open(char bracket);
  void Close(char bracket);

  std::FILE* out_;
  std::vector<bool> first_in_level_;
  bool after_key_ = false;
};

}  // namespace melvox::cli
