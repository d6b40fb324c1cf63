#include "report/ReportOptions.h"

#include <algorithm>
#include <charconv>

namespace report {

namespace {

std::string Upper(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    return upper;
}

}  // namespace

std::optional<std::string> ParseReportArguments(const std::vector<std::string>& arguments,
                                                ReportOptions& options) {
    bool folderGiven = false;
    for (const std::string& argument : arguments) {
        if (argument.empty())
            return "空の引数があります";
        if (argument[0] != '/' && argument[0] != '-') {
            if (folderGiven)
                return "ログのフォルダーは一つだけ指定してください：" + argument;
            options.folder = argument;
            folderGiven = true;
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string name =
            Upper(argument.substr(1, equals == std::string::npos ? std::string::npos : equals - 1));
        const std::string value = equals == std::string::npos ? "" : argument.substr(equals + 1);
        const bool hasValue = equals != std::string::npos;
        if ((name == "?" || name == "HELP") && !hasValue) {
            options.help = true;
        } else if ((name == "OPEN" || name == "NOOPEN") && !hasValue) {
            options.open = name == "OPEN";
        } else if (name == "OUT") {
            if (value.empty())
                return "/OUT にはフォルダーを指定してください：" + argument;
            options.out = value;
        } else if (name == "DAYS") {
            int days = 0;
            const auto [end, error] =
                std::from_chars(value.data(), value.data() + value.size(), days);
            if (error != std::errc() || end != value.data() + value.size() || days < 1 ||
                days > 3650)
                return "/DAYS には 1 から 3650 までの日数を指定してください：" + argument;
            options.staleDays = days;
        } else {
            return "不明なスイッチです：" + argument;
        }
    }
    return std::nullopt;
}

}  // namespace report
