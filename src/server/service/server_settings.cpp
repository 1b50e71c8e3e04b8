#include "server/service/server_settings.h"

#include "download_policy/download_choices.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace zorvan {

using nlohmann::json;

namespace {

const char* namingName(FileNaming naming) { return naming == FileNaming::PerformerFolder ? "performer" : "song"; }

json asJson(const ServerSettings& s) {
    return {{"parallel", s.parallel},           {"connections", s.connections},
            {"speedLimitKiB", s.speedLimitKiB}, {"folder", s.folder},
            {"naming", namingName(s.naming)},   {"mediaFiles", s.withMediaFiles()},
            {"checkEveryMinutes", s.checkEveryMinutes}, {"strictResume", s.strictResume}};
}

// As kept in the data folder: mediaFiles only when chosen, so that a
// change of naming brings its own otherwise.
json asStored(const ServerSettings& s) {
    json stored = asJson(s);
    if (s.mediaFiles) stored["mediaFiles"] = *s.mediaFiles;
    else stored.erase("mediaFiles");
    return stored;
}

// A whole number member within [least, most], when the object has it.
bool takeNumber(const json& from, const char* name, int least, int most, int& into, std::string& error) {
    if (!from.contains(name)) return true;
    const json& value = from[name];
    if (!value.is_number_integer() || value.get<std::int64_t>() < least || value.get<std::int64_t>() > most) {
        error = std::string(name) + " must be a whole number from " + std::to_string(least) + " to " +
                std::to_string(most);
        return false;
    }
    into = value.get<int>();
    return true;
}

bool takeFilesChoices(const json& from, ServerSettings& into, std::string& error) {
    if (from.contains("folder")) {
        if (!from["folder"].is_string() ||
            (!from["folder"].get<std::string>().empty() && from["folder"].get<std::string>().front() != '/')) {
            error = "folder must be an absolute path, or empty for the default folder";
            return false;
        }
        into.folder = from["folder"].get<std::string>();
    }
    if (from.contains("naming")) {
        const json& naming = from["naming"];
        if (naming != "song" && naming != "performer") {
            error = "naming must be \"song\" or \"performer\"";
            return false;
        }
        into.naming = naming == "performer" ? FileNaming::PerformerFolder : FileNaming::SongName;
    }
    if (from.contains("strictResume")) {
        if (!from["strictResume"].is_boolean()) {
            error = "strictResume must be true or false";
            return false;
        }
        into.strictResume = from["strictResume"].get<bool>();
    }
    if (from.contains("mediaFiles")) {
        const json& mediaFiles = from["mediaFiles"];
        if (!mediaFiles.is_boolean() && !mediaFiles.is_null()) {
            error = "mediaFiles must be true, false or null (with the naming)";
            return false;
        }
        into.mediaFiles = mediaFiles.is_null() ? std::nullopt : std::optional<bool>(mediaFiles.get<bool>());
    }
    return true;
}

bool take(const json& from, ServerSettings& into, std::string& error) {
    if (!from.is_object()) {
        error = "settings must be a JSON object";
        return false;
    }
    ServerSettings s = into;
    if (!takeNumber(from, "parallel", 1, downloadChoices::mostParallel, s.parallel, error) ||
        !takeNumber(from, "connections", 1, downloadChoices::mostConnections, s.connections, error) ||
        !takeNumber(from, "speedLimitKiB", 0, downloadChoices::mostSpeedLimitKiB, s.speedLimitKiB, error) ||
        !takeNumber(from, "checkEveryMinutes", 0, 7 * 24 * 60, s.checkEveryMinutes, error) ||
        !takeFilesChoices(from, s, error))
        return false;
    into = s;
    return true;
}

}  // namespace

std::string settingsJson(const ServerSettings& settings) { return asJson(settings).dump(); }

bool applySettingsJson(const std::string& text, ServerSettings& settings, std::string& error) {
    const json parsed = json::parse(text, nullptr, false);
    if (parsed.is_discarded()) {
        error = "the body is not JSON";
        return false;
    }
    return take(parsed, settings, error);
}

std::optional<ServerSettings> loadServerSettings(const std::string& path, std::string& error) {
    std::ifstream in(path);
    ServerSettings settings;
    if (!in) return settings;
    std::stringstream text;
    text << in.rdbuf();
    if (!applySettingsJson(text.str(), settings, error)) {
        error = path + ": " + error;
        return std::nullopt;
    }
    return settings;
}

bool saveServerSettings(const std::string& path, const ServerSettings& settings, std::string& error) {
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << asStored(settings).dump(2) << '\n';
        out.flush();
        if (!out) {
            error = "cannot write " + temporary;
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot replace " + path;
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace zorvan
