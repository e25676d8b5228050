#include "scenefile/json_fields.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace lumo {

namespace {

std::string shortNumber(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

}  // namespace

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
