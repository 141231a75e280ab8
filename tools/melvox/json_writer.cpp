#include "json_writer.h"

#include <cinttypes>
#include <cmath>

namespace melvox::cli {

void JsonWriter::BeforeValue() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (!first_in_level_.empty()) {
    if (!first_in_level_.back()) std::fputc(',', out_);
    first_in_level_.back() = false;
  }
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  std::fputc(bracket, out_);
  first_in_level_.push_back(true);
}

void JsonWriter::Close(char bracket) {
  first_in_level_.pop_back();
  std::fputc(bracket, out_);
}

JsonWriter& JsonWriter::BeginObject() {
  Open('{');
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  Close('}');
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  Open('[');
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  Close(']');
  return *this;
}

JsonWriter& JsonWriter::Key(const char* key) {
  String(key);
  std::fputc(':', out_);
  after_key_ = true;
  return *this;
}

JsonWriter& JsonWriter::Int(int64_t value) {
  BeforeValue();
  std::fprintf(out_, "%" PRId64, value);
  return *this;
}

JsonWriter& JsonWriter::Float(float value) {
  if (!std::isfinite(value)) return Null();
  BeforeValue();
  std::fprintf(out_, "%.9g", static_cast<double>(value));
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  BeforeValue();
  std::fputs(value ? "true" : "false", out_);
  return *this;
}

JsonWriter& JsonWriter::Null() {
  BeforeValue();
  std::fputs("null", out_);
  return *this;
}

JsonWriter& JsonWriter::String(const std::string& value) {
  BeforeValue();
  std::fputc('"', out_);
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      std::fputc('\\', out_);
      std::fputc(c, out_);
    } else if (byte < 0x20) {
      std::fprintf(out_, "\\u%04x", byte);
    } else {
      std::fputc(c, out_);
    }
  }
  std::fputc('"', out_);
  return *this;
}

}  // namespace melvox::cli
