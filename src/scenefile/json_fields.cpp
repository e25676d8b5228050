#include "scenefile/json_fields.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <set>

namespace lumo {

namespace {

std::string shortNumber(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

}  // namespace

Json parseJson(const std::string& text) {
    // One level per open object or array: the key or index being read, and an object's keys so far.
    struct Level {
        bool array = false;
        size_t index = 0;
        std::string key;
        std::set<std::string> keys;
    };
    std::vector<Level> levels;
    auto pathOf = [&] {
        std::string path;
        for (const Level& l : levels) {
            if (l.array) {
                path.append("[").append(std::to_string(l.index)).append("]");
            } else {
                if (!path.empty()) path.push_back('.');
                path.append(l.key);
            }
        }
        return path;
    };
    auto elementDone = [&] {
        if (!levels.empty() && levels.back().array) ++levels.back().index;
    };
    using Event = Json::parse_event_t;
    return Json::parse(text, [&](int, Event event, Json& parsed) {
        switch (event) {
            case Event::object_start: levels.push_back({}); break;
            case Event::array_start: levels.push_back({true, 0, {}, {}}); break;
            case Event::key: {
                Level& l = levels.back();
                l.key = parsed.get<std::string>();
                if (!l.keys.insert(l.key).second) fault(pathOf(), "the key appears twice in its object");
                break;
            }
            case Event::object_end:
            case Event::array_end:
                levels.pop_back();
                elementDone();
                break;
            case Event::value: elementDone(); break;
        }
        return true;
    });
}

std::string messageLine(const std::string& text) {
    // Long runs without spaces (a data URI, a path) lose their middle and keep both ends: the start of
    // a URI, the file name of a path. Very long ones first, then the longest until the line fits.
    constexpr size_t kLongRun = 100, kShortest = 24;
    auto cut = [](const std::string& run, size_t keep) {
        const size_t head = (keep - 3) / 2, tail = keep - 3 - head;
        std::string out;
        out.append(run, 0, head).append("...").append(run, run.size() - tail, tail);
        return out;
    };
    std::vector<std::string> runs;
    size_t start = 0;
    while (true) {
        const size_t end = std::min(text.find_first_of(" \n\r\t", start), text.size());
        runs.push_back(end - start > kLongRun ? cut(text.substr(start, end - start), 2 * kShortest + 3)
                                              : text.substr(start, end - start));
        if (end == text.size()) break;
        start = end + 1;
    }
    size_t total = runs.size() - 1;
    for (const std::string& r : runs) total += r.size();
    while (total > kMaxMessageChars) {
        std::string& longest = *std::max_element(runs.begin(), runs.end(),
                                                 [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
        if (longest.size() <= kShortest) break;
        const size_t keep = std::max(kShortest, longest.size() - std::min(longest.size(), total - kMaxMessageChars));
        total -= longest.size() - keep;
        longest = cut(longest, keep);
    }
    std::string line;
    for (const std::string& r : runs) {
        if (!line.empty()) line.push_back(' ');
        line.append(r);
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (line.size() > kMaxMessageChars) {
        line.resize(kMaxMessageChars - 3);
        line.append("...");
    }
    return line;
}

void fault(const std::string& path, const std::string& what) {
    throw FileFault(path.empty() ? what : path + ": " + what);
}

std::string jsonTypeName(const Json& j) {
    switch (j.type()) {
        case Json::value_t::null: return "null";
        case Json::value_t::object: return "an object";
        case Json::value_t::array: return "an array";
        case Json::value_t::string: return "a string";
        case Json::value_t::boolean: return "a boolean";
        case Json::value_t::discarded: return "nothing";
        default: return "a number";
    }
}

double numberAt(const Json& j, const std::string& path, double min, double max) {
    if (!j.is_number()) fault(path, "expected a number, got " + jsonTypeName(j));
    const double v = j.get<double>();
    // JSON has no NaN or infinity, but a literal like 1e999 reads as infinity.
    if (!std::isfinite(v)) fault(path, "the number is not finite");
    if (std::fabs(v) > FLT_MAX) fault(path, "the number is too large for single precision");
    if (v < min || v > max)
        fault(path, shortNumber(v) + " is out of range (" + shortNumber(min) + " to " + shortNumber(max) + ")");
    return v;
}

const Json& arrayAt(const Json& j, const std::string& path, size_t minSize, size_t maxSize) {
    if (!j.is_array()) fault(path, "expected an array, got " + jsonTypeName(j));
    if (j.size() < minSize || j.size() > maxSize) {
        const std::string want = minSize == maxSize ? std::to_string(minSize)
                                                    : std::to_string(minSize) + " to " + std::to_string(maxSize);
        fault(path, "expected " + want + " elements, got " + std::to_string(j.size()));
    }
    return j;
}

Vec3 vec3At(const Json& j, const std::string& path, double limit) {
    arrayAt(j, path, 3, 3);
    double v[3];
    for (size_t i = 0; i < 3; ++i) v[i] = numberAt(j[i], path + "[" + std::to_string(i) + "]", -limit, limit);
    return {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])};
}

Fields::Fields(const Json& object, std::string path) : o_(object), path_(std::move(path)) {
    if (!o_.is_object()) fault(path_, "expected an object, got " + jsonTypeName(o_));
}

const Json* Fields::get(const char* key) {
    const auto it = o_.find(key);
    if (it == o_.end()) return nullptr;
    read_.emplace_back(key);
    return &*it;
}

const Json& Fields::required(const char* key) {
    const Json* j = get(key);
    if (!j) fault(path_, std::string("the key '") + key + "' is missing");
    return *j;
}

double Fields::number(const char* key, double fallback, double min, double max) {
    const Json* j = get(key);
    return j ? numberAt(*j, pathOf(key), min, max) : fallback;
}

double Fields::number(const char* key, double min, double max) {
    return numberAt(required(key), pathOf(key), min, max);
}

int Fields::integer(const char* key, int fallback, int min, int max) {
    const Json* j = get(key);
    if (!j) return fallback;
    const double v = numberAt(*j, pathOf(key), min, max);
    if (v != std::floor(v)) fault(pathOf(key), "expected a whole number");
    return static_cast<int>(v);
}

bool Fields::flag(const char* key, bool fallback) {
    const Json* j = get(key);
    if (!j) return fallback;
    if (!j->is_boolean()) fault(pathOf(key), "expected true or false, got " + jsonTypeName(*j));
    return j->get<bool>();
}

std::string Fields::text(const char* key, const std::string& fallback) {
    const Json* j = get(key);
    if (!j) return fallback;
    if (!j->is_string()) fault(pathOf(key), "expected a string, got " + jsonTypeName(*j));
    return j->get<std::string>();
}

std::string Fields::text(const char* key) {
    required(key);
    return text(key, "");
}

Vec3 Fields::vec3(const char* key, Vec3 fallback) {
    const Json* j = get(key);
    return j ? vec3At(*j, pathOf(key)) : fallback;
}

Vec3 Fields::vec3(const char* key) { return vec3At(required(key), pathOf(key)); }

void Fields::finish() const {
    for (auto it = o_.begin(); it != o_.end(); ++it)
        if (std::find(read_.begin(), read_.end(), it.key()) == read_.end())
            fault(pathOf(it.key().c_str()), "unknown key");
}

}  // namespace lumo
