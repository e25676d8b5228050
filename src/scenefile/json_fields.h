// Reading a JSON object field by field, with every fault reported under its key path
// ("objects[3].radius"): wrong types, numbers out of range or not finite, unknown keys.
#pragma once

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/vec3.h"

namespace lumo {

using Json = nlohmann::json;

// A fault in a scene or mesh file; what() is the message without the file name.
struct FileFault : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fault(const std::string& path, const std::string& what);

// Parses JSON text like Json::parse, and also refuses an object that has a key twice (FileFault
// naming the key path).
Json parseJson(const std::string& text);

// The longest message line the loaders give, leaving room for a front end's prefix in 200 characters.
inline constexpr size_t kMaxMessageChars = 170;
// A message as one line of at most kMaxMessageChars: line breaks become spaces, and long runs
// without spaces (a data URI, a path) and then the line itself are cut, marked with "...".
std::string messageLine(const std::string& text);

// "a string", "an array", ... for messages.
std::string jsonTypeName(const Json& j);

// Coordinates, lengths and matrix elements: the geometry is single precision, and beyond this a
// shape's surface can no longer be told from its neighbours' (a sphere of radius 1e8 vanishes).
inline constexpr double kFarCoordinate = 1e6;

double numberAt(const Json& j, const std::string& path, double min, double max);
Vec3 vec3At(const Json& j, const std::string& path, double limit = kFarCoordinate);
const Json& arrayAt(const Json& j, const std::string& path, size_t minSize, size_t maxSize);

// The fields of one object. Each key read is remembered; finish() faults on any other key.
class Fields {
public:
    Fields(const Json& object, std::string path);

    const std::string& path() const { return path_; }
    std::string pathOf(const char* key) const { return path_.empty() ? key : path_ + "." + key; }
    bool has(const char* key) const { return o_.contains(key); }
    // The value under key (marked as read), or null when absent.
    const Json* get(const char* key);
    const Json& required(const char* key);

    double number(const char* key, double fallback, double min, double max);
    double number(const char* key, double min, double max);
    int integer(const char* key, int fallback, int min, int max);
    bool flag(const char* key, bool fallback);
    std::string text(const char* key, const std::string& fallback);
    std::string text(const char* key);
    Vec3 vec3(const char* key, Vec3 fallback);
    Vec3 vec3(const char* key);

    void finish() const;

private:
    const Json& o_;
    std::string path_;
    std::vector<std::string> read_;
};

}  // namespace lumo
