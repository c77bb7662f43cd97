#include "report/qorReportMarkup.h"

TqorStyleClass::TqorStyleClass(std::string text)
    : text_(std::move(text)), properties_(ParseStyleProperties(text_)) {}

std::string TqorStyleClass::Property(std::string_view name) const {
  for (auto it = properties_.rbegin(); it != properties_.rend(); ++it)
    if (it->Name == name) return it->Value;
  return {};
}

TqorReportMarkup::TqorReportMarkup() {
  parser_.SetIndexIds(true);
}

void TqorReportMarkup::Load(std::string_view markup) {
  parser_.SetXml(markup);
  const TqorXMLNode2* head = Head();
  if (!head) return;
  for (int i = 0; i < head->ChildCount(); ++i) {
    const TqorXMLNode2* style = head->GetChild(i);
    std::string id = style->GetAttributeStr("id");
    if (id.empty() || style->Text().empty()) continue;
    classes_.Set(id, std::make_unique<TqorStyleClass>(style->Text()));
  }
}

std::string TqorReportMarkup::Paper() const {
  std::string paper = parser_.GetAttributeStr("pagesize");
  return paper.empty() ? "A4" : paper;
}

const TqorStyleClass* TqorReportMarkup::FindClass(std::string_view name) const {
  return name.empty() ? nullptr : classes_.Find(name);
}

std::string TqorReportMarkup::ClassText(std::string_view name) const {
  const TqorStyleClass* c = FindClass(name);
  return c ? c->Text() : std::string();
}

std::string TqorReportMarkup::ClassProperty(std::string_view className,
                                            std::string_view property) const {
  const TqorStyleClass* c = FindClass(className);
  return c ? c->Property(property) : std::string();
}

std::string TqorReportMarkup::ClassOf(const TqorXMLNode2& element, std::string_view fallback) {
  std::string name = element.GetAttributeStr("class");
  return name.empty() ? std::string(fallback) : name;
}

int TqorReportMarkup::HeadingLevel(const TqorXMLNode2& element) {
  const std::string& n = element.Name();
  if (n.size() == 2 && n[0] == 'h' && n[1] >= '1' && n[1] <= '4') return n[1] - '0';
  return 0;
}

TqorBlockKind TqorReportMarkup::KindOf(const TqorXMLNode2& element) {
  const std::string& n = element.Name();
  if (HeadingLevel(element) != 0) return TqorBlockKind::Heading;
  if (n == "p") return TqorBlockKind::Paragraph;
  if (n == "tr") return TqorBlockKind::Row;
  if (n == "img") return TqorBlockKind::Image;
  if (n == "div" || n == "link") return TqorBlockKind::Container;
  return TqorBlockKind::Ignored;
}

int32_t TqorReportMarkup::WholeNumberAttribute(const TqorXMLNode2& element, std::string_view name,
                                               int32_t fallback) {
  return StyleWholeNumber(element.GetAttributeStr(name), fallback);
}
