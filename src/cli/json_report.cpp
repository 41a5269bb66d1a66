#include "cli/json_report.h"

#include <cstdio>

#include "engine/formats/utf8.h"

namespace mirvane::cli {

namespace {

const char* statusWord(JobStatus status) {
    switch (status) {
    case JobStatus::Converted: return "converted";
    case JobStatus::Failed: return "failed";
    case JobStatus::Converting: return "converting";
    case JobStatus::Pending: break;
    }
    return "stopped";
}

}  // namespace

std::string JsonString(std::string_view text) {
    std::string json = "\"";
    while (!text.empty()) {
        const unsigned char byte = static_cast<unsigned char>(text[0]);
        const std::size_t length = Utf8CharacterLength(text);
        if (length == 0) {
            json += "\\ufffd";
            text.remove_prefix(1);
            continue;
        }
        if (byte == '"' || byte == '\\') {
            json += '\\';
            json += static_cast<char>(byte);
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            json += escaped;
        } else {
            json.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return json + "\"";
}

void JsonReport::jobStarted(int row, const std::string& input) {
    m_write("{\"event\":\"started\",\"row\":" + std::to_string(row + 1) + ",\"input\":" + JsonString(input) +
            "}\n");
}

void JsonReport::jobProgress(int row, const std::string& input, int percent) {
    if (!m_pace.due(row)) return;
    m_write("{\"event\":\"progress\",\"row\":" + std::to_string(row + 1) + ",\"input\":" + JsonString(input) +
            ",\"percent\":" + std::to_string(percent) + "}\n");
}

void JsonReport::jobFinished(int row, const JobRow& ended, const std::string& output) {
    m_pace.forget(row);
    std::string line = "{\"event\":\"finished\",\"row\":" + std::to_string(row + 1) +
                       ",\"input\":" + JsonString(ended.path) + ",\"status\":\"" + statusWord(ended.status) + "\"";
    if (ended.status == JobStatus::Converted) line += ",\"output\":" + JsonString(output);
    if (ended.status == JobStatus::Failed) line += ",\"reason\":" + JsonString(ended.reason);
    m_write(line + "}\n");
}

void JsonReport::batchOver(const BatchCounts& counts, bool stopped) {
    m_write("{\"event\":\"summary\",\"converted\":" + std::to_string(counts.converted) +
            ",\"failed\":" + std::to_string(counts.failed) + ",\"stopped\":" + std::to_string(counts.stopped) +
            ",\"interrupted\":" + (stopped ? "true" : "false") + "}\n");
}

}  // namespace mirvane::cli
