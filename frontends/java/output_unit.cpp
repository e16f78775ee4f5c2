#include "frontends/java/output_unit.h"

#include <filesystem>
#include <system_error>

namespace java {

bool OutputUnit::add(const std::string& target, bool required,
                     const std::function<bool(const std::string& path)>& write) {
  const std::string staging = staged_.stage(target);
  if (staging.empty()) {
    std::error_code ec;
    return !required && !std::filesystem::exists(target, ec) && !ec;
  }
  return write(staging);
}

bool OutputUnit::commit(std::string_view statusText) {
  return status_.write(statusText) && status_.close() && staged_.commit() && status_.commit();
}

}  // namespace java
