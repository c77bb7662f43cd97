// Fuzz target of the XML reader: the input is a file's bytes. The first byte's low bit switches
// the id index on; the rest is read as a file (encoding detection and conversion), the tree is
// walked (names, texts, attributes as text and number, namespaces, id look-ups), written as text
// and as encoded bytes, and a document read without error is read again from its own bytes: the
// second reading must succeed and write the same tree. Reading never raises; a failed check, an
// exception, a crash or a sanitizer report is a finding.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "planner/xml/qorXMLParser2.h"

namespace {

[[noreturn]] void Finding(const char* what, std::string_view a, std::string_view b) {
  std::fprintf(stderr, "%s\n--- first:\n%.*s\n--- second:\n%.*s\n", what,
               static_cast<int>(a.size()), a.data(), static_cast<int>(b.size()), b.data());
  std::abort();
}

// Reads the bytes as a file, through a file in memory.
void Load(TqorXMLParser2& doc, std::string_view bytes) {
  const int fd = memfd_create("xml_reader", 0);
  if (fd < 0) std::abort();
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  doc.LoadFromFile("/proc/self/fd/" + std::to_string(fd));
  close(fd);
}

size_t Walk(const TqorXMLParser2& doc, const TqorXMLNode2& node) {
  size_t sum = node.Name().size() + node.Prefix().size() + node.Text().size();
  sum += node.GetNamespaceURI().size();
  for (int i = 0; i < node.AttributeCount(); ++i) {
    sum += node.GetAttributeStr(i).size() + static_cast<size_t>(node.GetAttributeInt(i) & 1);
  }
  const std::string id = node.GetAttributeStr("id");
  // A document read without error has every element with an id in its index (a read that
  // stops leaves the element it stopped in out).
  if (!id.empty() && doc.IndexIds() && doc.LastError().empty()) {
    const TqorXMLNode2* found = doc.GetNodeById(node.Name(), id);
    if (!found) Finding("an element with an id is not in the id index", node.Name(), id);
  }
  if (node.Parent() && !id.empty() && !node.Parent()->FindChildById(id)) {
    Finding("FindChildById misses a child", node.Name(), id);
  }
  for (int i = 0; i < node.ChildCount(); ++i) {
    const TqorXMLNode2* child = node.GetChild(i);
    if (child->Parent() != &node) Finding("a child's parent is another node", node.Name(), "");
    sum += Walk(doc, *child);
  }
  return sum;
}

// The written document without its declaration line.
std::string_view Body(std::string_view xml) {
  const size_t end = xml.find("\r\n");
  return end == std::string_view::npos ? std::string_view() : xml.substr(end + 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool indexIds = data[0] & 1;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  TqorXMLParser2 doc;
  doc.SetIndexIds(indexIds);
  Load(doc, bytes);
  Walk(doc, doc);
  const std::string text = doc.Xml();
  const std::string encoded = doc.EncodedXml();
  if (!doc.LastError().empty()) return 0;

  TqorXMLParser2 again;
  again.SetIndexIds(indexIds);
  Load(again, encoded);
  if (!again.LastError().empty())
    Finding("the written document does not read", encoded, again.LastError());
  // The declaration may change: text its encoding lacks is written as UTF-8 under a UTF-8
  // declaration. The tree may not.
  const std::string text2 = again.Xml();
  if (Body(text2) != Body(text)) Finding("the written document reads back different", text, text2);
  return 0;
}
