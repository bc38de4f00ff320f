#include "device/port_list.h"

#include <algorithm>
#include <cctype>

namespace {

// ttyS2 < ttyS10: names compare by their text, runs of digits by value.
bool NaturalLess(const std::string& a, const std::string& b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (isdigit(static_cast<unsigned char>(a[i])) && isdigit(static_cast<unsigned char>(b[j]))) {
      std::size_t ei = i, ej = j;
      while (ei < a.size() && isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
      while (ej < b.size() && isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
      const std::string na = a.substr(i, ei - i), nb = b.substr(j, ej - j);
      if (na.size() != nb.size()) return na.size() < nb.size();
      if (na != nb) return na < nb;
      i = ei;
      j = ej;
      continue;
    }
    if (a[i] != b[j]) return a[i] < b[j];
    ++i;
    ++j;
  }
  return a.size() - i < b.size() - j;
}

}  // namespace

std::string SerialPortInfo::Description() const {
  std::string text = maker;
  // Appended piece by piece: "(" + serial draws a false -Wrestrict from GCC 12.
  const auto add = [&text](const std::string& part, const char* open, const char* close) {
    if (part.empty()) return;
    if (!text.empty()) text += ' ';
    text.append(open).append(part).append(close);
  };
  add(product, "", "");
  add(serial, "(", ")");
  if (text.empty()) text = driver;
  return text.empty() ? "-" : text;
}

void SortSerialPorts(std::vector<SerialPortInfo>* ports) {
  std::sort(ports->begin(), ports->end(),
            [](const SerialPortInfo& a, const SerialPortInfo& b) { return NaturalLess(a.path, b.path); });
}
