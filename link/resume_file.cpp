#include "link/resume_file.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/convert.h"

namespace zel {
namespace {

constexpr const char* kHeader = "setupzel-resume 1";

std::optional<std::string> FromHex(const std::string& hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::string out;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    unsigned v = 0;
    if (std::sscanf(hex.c_str() + i, "%2x", &v) != 1) return std::nullopt;
    out += static_cast<char>(v);
  }
  return out;
}

}  // namespace

bool SaveResumePoint(const std::string& path, const ResumePoint& point) {
  std::ostringstream text;
  text << kHeader << '\n'
       << "direction " << (point.direction == Direction::kWrite ? "write" : "read") << '\n'
       << "registration "
       << FormatHexText(reinterpret_cast<const std::uint8_t*>(point.registration.data()),
                        static_cast<int>(point.registration.size()))
       << '\n';
  char check[17];
  std::snprintf(check, sizeof check, "%016llx", static_cast<unsigned long long>(point.data_check));
  text << "data-check " << check << '\n';
  for (const KindInfo& info : kKinds) {
    const KindProgress& k = point.kinds[static_cast<std::size_t>(info.kind)];
    if (k.done)
      text << "kind " << info.name << " done\n";
    else if (k.from != 0 || k.opened)
      text << "kind " << info.name << " from " << k.from << (k.opened ? " opened" : "") << '\n';
  }
  const std::string temporary = path + ".tmp";
  {
    std::ofstream f(temporary, std::ios::binary | std::ios::trunc);
    f << text.str();
    f.flush();
    if (!f) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  if (ec) std::remove(temporary.c_str());
  return !ec;
}

std::optional<ResumePoint> LoadResumePoint(const std::string& path, std::string* error) {
  const auto fail = [&](const std::string& why) -> std::optional<ResumePoint> {
    if (error) *error = why;
    return std::nullopt;
  };
  std::ifstream f(path, std::ios::binary);
  if (!f) return fail("δεν ήταν δυνατό να διαβαστεί");
  std::string line;
  if (!std::getline(f, line) || line != kHeader) return fail("δεν είναι αρχείο συνέχειας μεταφοράς");
  ResumePoint point;
  while (std::getline(f, line)) {
    std::istringstream in(line);
    std::string key;
    in >> key;
    if (key.empty()) continue;
    if (key == "direction") {
      std::string v;
      in >> v;
      if (v != "write" && v != "read") return fail("λάθος γραμμή: " + line);
      point.direction = v == "write" ? Direction::kWrite : Direction::kRead;
    } else if (key == "registration") {
      std::string v;
      in >> v;
      const std::optional<std::string> bytes = FromHex(v);
      if (!bytes) return fail("λάθος γραμμή: " + line);
      point.registration = *bytes;
    } else if (key == "data-check") {
      std::string v;
      in >> v;
      char* end = nullptr;
      point.data_check = std::strtoull(v.c_str(), &end, 16);
      if (v.empty() || *end != 0) return fail("λάθος γραμμή: " + line);
    } else if (key == "kind") {
      std::string name, state;
      in >> name >> state;
      const std::optional<Kind> kind = KindByName(name);
      if (!kind) return fail("λάθος γραμμή: " + line);
      KindProgress& k = point.kinds[static_cast<std::size_t>(*kind)];
      if (state == "done") {
        k.done = true;
      } else if (state == "from") {
        long from = -1;
        in >> from;
        if (!in || from < 0 || from >= InfoOf(*kind).records) return fail("λάθος γραμμή: " + line);
        k.from = static_cast<int>(from);
        std::string opened;
        in >> opened;
        k.opened = opened == "opened";
      } else {
        return fail("λάθος γραμμή: " + line);
      }
    } else {
      return fail("λάθος γραμμή: " + line);
    }
  }
  return point;
}

}  // namespace zel
