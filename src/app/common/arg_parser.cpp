#include "app/common/arg_parser.h"

#include <algorithm>

namespace orin::app {

ArgParser::ArgParser(std::vector<std::string> args, std::vector<std::string> flags,
                     std::vector<std::string> valued) {
  auto contains = [](const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
  };
  bool optionsDone = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsDone || a.size() < 2 || a[0] != '-' || a == "-") {
      positionals_.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsDone = true;
      continue;
    }
    std::string name = a, value;
    bool hasValue = false;
    if (size_t eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      hasValue = true;
    }
    if (contains(flags, name)) {
      if (hasValue) throw UsageError(name + " takes no value");
      options_.emplace_back(name, "");
    } else if (contains(valued, name)) {
      if (!hasValue) {
        if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
        value = args[++i];
      }
      options_.emplace_back(name, value);
    } else {
      throw UsageError("unknown option " + a);
    }
  }
}

bool ArgParser::Flag(const std::string& name) const { return Has(name); }

bool ArgParser::Has(const std::string& name) const {
  return std::any_of(options_.begin(), options_.end(), [&](const auto& o) { return o.first == name; });
}

std::string ArgParser::Value(const std::string& name, const std::string& fallback) const {
  for (auto it = options_.rbegin(); it != options_.rend(); ++it)
    if (it->first == name) return it->second;
  return fallback;
}

std::vector<std::string> ArgParser::Values(const std::string& name) const {
  std::vector<std::string> values;
  for (const auto& o : options_)
    if (o.first == name) values.push_back(o.second);
  return values;
}

void ArgParser::ExpectPositionals(int min, int max) const {
  int n = static_cast<int>(positionals_.size());
  if (n < min) throw UsageError("missing arguments");
  if (max >= 0 && n > max) throw UsageError("too many arguments");
}

}  // namespace orin::app
