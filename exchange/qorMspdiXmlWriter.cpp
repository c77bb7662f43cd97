#include "exchange/qorMspdiXmlWriter.h"

#include "exchange/qorMspdiText.h"

TqorMspdiXmlWriter::TqorMspdiXmlWriter(std::string& out) : out_(out) {
  out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
}

void TqorMspdiXmlWriter::Indent() {
  out_.append(2 * open_.size(), ' ');
}

void TqorMspdiXmlWriter::Open(std::string_view name, std::string_view xmlNamespace) {
  Indent();
  out_ += '<';
  out_ += name;
  if (!xmlNamespace.empty()) {
    out_ += " xmlns=\"";
    out_ += xmlNamespace;
    out_ += '"';
  }
  out_ += ">\n";
  open_.emplace_back(name);
}

void TqorMspdiXmlWriter::Close() {
  const std::string name = std::move(open_.back());
  open_.pop_back();
  Indent();
  out_ += "</";
  out_ += name;
  out_ += ">\n";
}

void TqorMspdiXmlWriter::Leaf(std::string_view name, std::string_view text, bool escape) {
  Indent();
  out_ += '<';
  out_ += name;
  if (text.empty()) {
    out_ += "/>\n";
    return;
  }
  out_ += '>';
  if (escape)
    AppendMspdiText(out_, text, dropped_);
  else
    out_ += text;
  out_ += "</";
  out_ += name;
  out_ += ">\n";
}

void TqorMspdiXmlWriter::Text(std::string_view name, std::string_view text) {
  Leaf(name, text, true);
}

void TqorMspdiXmlWriter::Value(std::string_view name, std::string_view value) {
  Leaf(name, value, false);
}

void TqorMspdiXmlWriter::Integer(std::string_view name, int64_t value) {
  Leaf(name, std::to_string(value), false);
}
