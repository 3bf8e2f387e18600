// The report as text: one line per call with its result, then what the calls returned.
#include <cstdio>
#include <string>
#include <vector>

#include "probe.h"

namespace bidiprobe {
namespace {

constexpr std::size_t kCallColumn = 36;

// Columns a text takes on a terminal: East Asian wide characters take two.
std::size_t DisplayWidth(const std::string& utf8) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        const bool wide =
            (code >= 0x1100 && code <= 0x115F) || (code >= 0x2E80 && code <= 0xA4CF) ||
            (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF) ||
            (code >= 0xFF00 && code <= 0xFF60) || (code >= 0xFFE0 && code <= 0xFFE6);
        width += wide ? 2 : 1;
        i += length;
    }
    return width;
}

std::string Pad(const std::string& text, std::size_t width) {
    const std::size_t used = DisplayWidth(text);
    return text + std::string(used < width ? width - used : 1, ' ');
}

// Control characters made visible, so that a text's exact content shows.
std::string Visible(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

std::string Quoted(const Json& text) {
    return text.is_string() ? "\"" + Visible(text.get<std::string>()) + "\"" : "(null)";
}

std::string Plain(const Json& text) {
    return text.is_string() ? Visible(text.get<std::string>()) : "";
}

class Writer {
  public:
    void Line(const std::string& line = "") { out_ += line + "\n"; }

    void Calls(const Json& holder, const char* key, const std::string& indent) {
        if (!holder.contains(key)) {
            return;
        }
        for (const Json& call : holder[key]) {
            const std::string name = call["export"].get<std::string>();
            const LONG code = call["code"].get<LONG>();
            // What the printer lacks where the result says only that, else what it means.
            const std::string said = call.contains("lacks")     ? call["lacks"].get<std::string>()
                                     : call.contains("meaning") ? call["meaning"].get<std::string>()
                                                                : "";
            Line(indent + Pad(name, kCallColumn - indent.size()) + ResultText(code) +
                 (said.empty() ? "" : ": " + said));
        }
    }

    // True when the section or part was skipped for missing exports (and says so).
    bool Unavailable(const Json& holder, const std::string& indent) {
        if (!holder.contains("unavailable")) {
            return false;
        }
        std::string names;
        for (const Json& name : holder["unavailable"]) {
            names += (names.empty() ? "" : ", ") + name.get<std::string>();
        }
        Line(indent + "not available in this VYXBIDI.dll: " + names);
        return true;
    }

    // Rows of cells, each column as wide as its widest cell.
    void Table(const std::vector<std::vector<std::string>>& rows, const std::string& indent) {
        std::vector<std::size_t> widths;
        for (const auto& row : rows) {
            widths.resize(std::max(widths.size(), row.size()), 0);
            for (std::size_t i = 0; i < row.size(); ++i) {
                widths[i] = std::max(widths[i], DisplayWidth(row[i]));
            }
        }
        for (const auto& row : rows) {
            std::string line = indent;
            for (std::size_t i = 0; i < row.size(); ++i) {
                line += i + 1 < row.size() ? Pad(row[i], widths[i] + 2) : row[i];
            }
            Line(line);
        }
    }

    const std::string& text() const { return out_; }

  private:
    std::string out_;
};

void FeatureDetails(Writer& w, const Json& details, const std::string& indent) {
    w.Calls(details, "calls", indent);
    if (!details.contains("currentKey")) {
        return;
    }
    const Json& key = details["currentKey"];
    const Json& selected = details["selected"];
    w.Line(indent + "key       " + Quoted(key["first"]) + "  " + Quoted(key["second"]));
    std::vector<std::vector<std::string>> rows;
    for (const Json& option : details["options"]) {
        const bool chosen = option["first"] == selected["first"];
        rows.push_back({chosen ? "*" : " ", Quoted(option["first"]), Quoted(option["second"])});
    }
    w.Line(indent + "options   " + std::to_string(rows.size()) +
           (rows.empty() ? "" : " (* the selected one)"));
    w.Table(rows, indent + "  ");
    w.Line(indent + "selected  " + Quoted(selected["first"]) + "  " + Quoted(selected["second"]));
}

void Colour(Writer& w, const Json& colour) {
    w.Line();
    w.Line("Colour features");
    if (w.Unavailable(colour, "  ") && !colour.contains("open")) {
        return;
    }
    w.Calls(colour, "open", "  ");
    w.Calls(colour, "calls", "  ");
    if (colour.contains("features")) {
        w.Line("  " + std::to_string(colour["features"].size()) + " features");
        int number = 0;
        for (const Json& feature : colour["features"]) {
            w.Line("  [" + std::to_string(++number) + "] " + Quoted(feature["first"]) + "  " +
                   Quoted(feature["second"]));
            if (feature.contains("details")) {
                FeatureDetails(w, feature["details"], "      ");
            }
        }
    }
    if (colour.contains("feature")) {
        const Json& feature = colour["feature"];
        w.Line("  feature " + Quoted(feature["name"]));
        FeatureDetails(w, feature, "    ");
    }
    if (colour.contains("select")) {
        const Json& select = colour["select"];
        w.Line("  before selecting, feature " + Quoted(select["feature"]));
        FeatureDetails(w, select["before"], "    ");
        w.Line("  select " + Quoted(select["option"]) + " for " + Quoted(select["feature"]));
        w.Calls(select, "calls", "    ");
        w.Line("  after selecting, feature " + Quoted(select["feature"]));
        FeatureDetails(w, select["after"], "    ");
    }
    w.Calls(colour, "close", "  ");
}

void Trays(Writer& w, const Json& trays) {
    w.Line("  Paper trays");
    if (w.Unavailable(trays, "    ")) {
        return;
    }
    w.Calls(trays, "calls", "    ");
    w.Line("    count " + std::to_string(trays["count"].get<LONG>()));
    std::vector<std::vector<std::string>> rows{
        {"#", "text1", "value1", "value2", "text2", "text3", "text4"}};
    int index = 0;
    for (const Json& tray : trays["records"]) {
        rows.push_back({std::to_string(++index), Plain(tray["text1"]), tray["value1"].dump(),
                        tray["value2"].dump(), Plain(tray["text2"]), Plain(tray["text3"]),
                        Plain(tray["text4"])});
    }
    if (index > 0) {
        w.Table(rows, "    ");
    }
}

void Toners(Writer& w, const Json& toners) {
    w.Line("  Toner colours");
    if (w.Unavailable(toners, "    ")) {
        return;
    }
    w.Calls(toners, "calls", "    ");
    w.Line("    count " + std::to_string(toners["count"].get<LONG>()));
    std::vector<std::vector<std::string>> rows{{"#", "text1", "value1", "value2"}};
    int index = 0;
    for (const Json& toner : toners["records"]) {
        rows.push_back({std::to_string(++index), Plain(toner["text1"]), toner["value1"].dump(),
                        toner["value2"].dump()});
    }
    if (index > 0) {
        w.Table(rows, "    ");
    }
}

void Installables(Writer& w, const Json& installables) {
    w.Line("  Installable options");
    if (w.Unavailable(installables, "    ")) {
        return;
    }
    w.Calls(installables, "calls", "    ");
    const DWORD presence = installables["presence"].get<DWORD>();
    std::string present;
    std::vector<std::vector<std::string>> rows{{"option", "present", "text1", "text2"}};
    for (const Json& option : installables["options"]) {
        const bool isPresent = option["present"].get<bool>();
        if (isPresent) {
            present += (present.empty() ? "" : ", ") + option["name"].get<std::string>();
        }
        rows.push_back({option["name"].get<std::string>(), isPresent ? "yes" : "no",
                        Quoted(option["text1"]), Quoted(option["text2"])});
    }
    char mask[16];
    std::snprintf(mask, sizeof mask, "0x%03lX", static_cast<unsigned long>(presence));
    w.Line(std::string("    presence mask ") + mask + (present.empty() ? "" : ": " + present));
    if (rows.size() > 1) {
        w.Table(rows, "    ");
    }
}

void Attributes(Writer& w, const Json& attributes) {
    w.Line();
    w.Line("Printer attributes");
    if (w.Unavailable(attributes, "  ") && !attributes.contains("open")) {
        return;
    }
    w.Calls(attributes, "open", "  ");
    if (attributes.contains("trays")) {
        Trays(w, attributes["trays"]);
    }
    if (attributes.contains("toners")) {
        Toners(w, attributes["toners"]);
    }
    if (attributes.contains("installables")) {
        Installables(w, attributes["installables"]);
    }
    w.Calls(attributes, "close", "  ");
}

void EMail(Writer& w, const Json& email) {
    w.Line();
    w.Line("E-mail notification, value " + email["value"].dump());
    if (w.Unavailable(email, "  ")) {
        return;
    }
    w.Calls(email, "calls", "  ");
}

void Templates(Writer& w, const Json& templates) {
    w.Line();
    w.Line(templates["withItems"].get<bool>() ? "Job templates with items" : "Job templates");
    if (w.Unavailable(templates, "  ")) {
        return;
    }
    w.Calls(templates, "calls", "  ");
    w.Line("  count " + std::to_string(templates["count"].get<LONG>()));
    int index = 0;
    for (const Json& entry : templates["templates"]) {
        std::string line = "  [" + std::to_string(index++) + "] " + Quoted(entry["name"]) +
                           "  tag " + entry["tag"].dump();
        if (entry.contains("items")) {
            line += ", " + std::to_string(entry["items"].size()) + " items";
        }
        w.Line(line);
        if (entry.contains("items")) {
            std::vector<std::vector<std::string>> rows;
            for (const Json& item : entry["items"]) {
                rows.push_back({Quoted(item["key"]), Quoted(item["value"])});
            }
            w.Table(rows, "      ");
        }
    }
}

}  // namespace

std::string RenderText(const Json& report) {
    Writer w;
    w.Line(Pad("VYXBIDI.dll", 14) + Plain(report["dll"]));
    w.Line(Pad("caller path", 14) + Quoted(report["caller"]));
    w.Line(Pad("connection", 14) + Quoted(report["connection"]["first"]) + "  " +
           Quoted(report["connection"]["second"]));
    w.Unavailable(report, "");
    w.Calls(report, "open", "");
    if (report.contains("colour")) {
        Colour(w, report["colour"]);
    }
    if (report.contains("attributes")) {
        Attributes(w, report["attributes"]);
    }
    if (report.contains("email")) {
        EMail(w, report["email"]);
    }
    if (report.contains("templates")) {
        Templates(w, report["templates"]);
    }
    if (report.contains("close") && !report["close"].empty()) {
        w.Line();
    }
    w.Calls(report, "close", "");
    if (report.contains("trust")) {
        const Json& trust = report["trust"];
        w.Line();
        w.Line("Certificate trust for " + trust["printer"].get<std::string>());
        w.Line("  pinned   " + (trust["pinned"].is_string() ? trust["pinned"].get<std::string>()
                                                            : std::string("(none)")));
        if (trust["offered"].is_string()) {
            w.Line("  offered  " + trust["offered"].get<std::string>() + " (refused as changed)");
        }
    }
    w.Line();
    const Json& failure = report["failure"];
    if (!failure.is_null()) {
        w.Line("First failure: " + failure["message"].get<std::string>() +
               (failure.contains("meaning") ? ": " + failure["meaning"].get<std::string>() : ""));
    } else if (report["lacking"].empty()) {
        w.Line("Every call answered BIDI_OK.");
    } else {
        w.Line("No call failed; the printer lacks what is marked above.");
    }
    return w.text();
}

}  // namespace bidiprobe
