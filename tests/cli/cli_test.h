// The fixture of the mira8-cli tests: a scratch folder, the run command with captured
// streams, and readers for the JSON report.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cli/commands.h"

namespace mira::cli {

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("mira8-cli-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string write(const std::string& name, const std::string& text) {
        const auto p = dir_ / name;
        std::ofstream(p) << text;
        return p.string();
    }

    int run(Args args) {
        out_.str("");
        err_.str("");
        return runCommand(args, out_, err_);
    }

    // The text of "key"'s first value in the JSON output: a number, a string with its
    // quotes, an array or object (nested ones whole) or a word. Empty when missing.
    std::string jsonRaw(const std::string& key) const { return rawValue(out_.str(), key); }
    long jsonInt(const std::string& key) const { return intValue(jsonRaw(key)); }
    // The n-th object of the "modules" array, to read its fields with rawValue/intValue.
    std::string moduleJson(size_t n) const {
        const std::string all = jsonRaw("modules");
        size_t i = 1;
        for (size_t k = 0; i < all.size(); ++k) {
            const size_t end = valueEnd(all, i);
            if (k == n) return all.substr(i, end - i);
            i = end + 1;  // past the ','
        }
        return "";
    }

    static size_t valueEnd(const std::string& s, size_t i) {
        if (i >= s.size()) return i;
        if (s[i] == '"') {
            for (++i; i < s.size() && s[i] != '"'; ++i)
                if (s[i] == '\\') ++i;
            return i + 1;
        }
        if (s[i] == '[' || s[i] == '{') {
            int depth = 0;
            bool inString = false;
            for (; i < s.size(); ++i) {
                const char c = s[i];
                if (inString) {
                    if (c == '\\')
                        ++i;
                    else if (c == '"')
                        inString = false;
                } else if (c == '"') {
                    inString = true;
                } else if (c == '[' || c == '{') {
                    ++depth;
                } else if ((c == ']' || c == '}') && --depth == 0) {
                    return i + 1;
                }
            }
            return i;
        }
        while (i < s.size() && s[i] != ',' && s[i] != '}' && s[i] != ']') ++i;
        return i;
    }
    static std::string rawValue(const std::string& s, const std::string& key) {
        const std::string tag = "\"" + key + "\":";
        const size_t at = s.find(tag);
        if (at == std::string::npos) return "";
        const size_t start = at + tag.size();
        return s.substr(start, valueEnd(s, start) - start);
    }
    static long intValue(const std::string& v) {
        if (v.empty() || !(std::isdigit(static_cast<unsigned char>(v[0])) || v[0] == '-'))
            return -999;
        return std::stol(v);
    }

    std::filesystem::path dir_;
    std::ostringstream out_, err_;
};

}  // namespace mira::cli
