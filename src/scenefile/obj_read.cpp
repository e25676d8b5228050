#include "scenefile/obj_read.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <set>

#include "core/workers.h"
#include "scenefile/json_fields.h"
#include "scenefile/obj_faces.h"

namespace lumo {

namespace {

bool space(char c) { return c == ' ' || c == '\t'; }

// Splits off the next space-separated token of `line` (a token starting with '#' ends the line).
std::string_view nextToken(std::string_view& line) {
    size_t a = 0;
    while (a < line.size() && space(line[a])) ++a;
    if (a < line.size() && line[a] == '#') a = line.size();
    size_t b = a;
    while (b < line.size() && !space(line[b])) ++b;
    const std::string_view token = line.substr(a, b - a);
    line.remove_prefix(b);
    return token;
}

std::string quoted(std::string_view token) {
    constexpr size_t kShown = 40;
    std::string q = "'";
    q.append(token.substr(0, kShown));
    q.append(token.size() > kShown ? "...'" : "'");
    return q;
}

// Calls f(line) for the lines starting in [begin, end) until f returns false; "\n", "\r\n" and a
// lone "\r" each end a line. False when f did.
template <class F>
bool forEachLine(std::string_view text, size_t begin, size_t end, F f) {
    size_t at = begin;
    while (at < end) {
        size_t stop = at;
        while (stop < text.size() && text[stop] != '\n' && text[stop] != '\r') ++stop;
        if (!f(text.substr(at, stop - at))) return false;
        at = stop;
        if (at + 1 < text.size() && text[at] == '\r' && text[at + 1] == '\n') ++at;
        ++at;
    }
    return true;
}

// The start of the first line beginning at or after `at`.
size_t lineStartFrom(std::string_view text, size_t at) {
    if (at == 0 || at >= text.size()) return std::min(at, text.size());
    // A '\n' right after a '\r' ends the same line the '\r' does.
    if (text[at - 1] == '\n' || (text[at - 1] == '\r' && text[at] != '\n')) return at;
    while (at < text.size() && text[at] != '\n' && text[at] != '\r') ++at;
    if (at + 1 < text.size() && text[at] == '\r' && text[at + 1] == '\n') ++at;
    return std::min(at + 1, text.size());
}

enum Element { kVertex, kTexcoord, kNormal };

using Counts = std::array<long, 3>;  // vertices, texture coordinates, normals

// `usemtl` (a material by name) or `mtllib` (material files) before face `face` of its range.
struct MaterialLine {
    uint32_t face;
    bool library;
    std::string_view text;  // the name, or the rest of the mtllib line
};

// What one line range holds, as written; indices are resolved once every range is read.
struct Chunk {
    size_t begin = 0, end = 0;
    std::vector<Vec3> positions, normals;
    std::vector<Vec3> colours;           // by position up to the last with a colour; empty: none
    std::vector<float> texcoords;        // s, t pairs
    std::vector<int32_t> corners;        // vertex, texture coordinate, normal: 0 none, < 0 counting back
    std::vector<uint32_t> faceEnd;       // each face's end in corners, in corners
    std::vector<std::array<uint32_t, 4>> backCounts;  // face, then the range's elements before it
    std::vector<MaterialLine> materialLines;
    size_t triangles = 0;
    bool faulty = false;  // a fault was found; the file is read again from the start to explain it

    // Set between the two passes.
    Counts first{};          // elements of the ranges before
    size_t firstTriangle = 0;
    int startMaterial = -1;
    std::vector<std::pair<uint32_t, int>> materialFrom;  // face, material from it on
};

// Reads lines into a chunk. Without totals, faults are found but not explained and indices are
// checked later; with the whole file's totals (reading from the first line), every fault is checked
// at once and its message kept in `why`.
class LineReader {
public:
    LineReader(Chunk& out, const Counts* totals, std::string* why) : out_(out), totals_(totals), why_(why) {}

    bool read(std::string_view line) {
        std::string_view rest = line;
        const std::string_view key = nextToken(rest);
        if (key == "v") {
            float p[6];
            const int count = numbers(rest, 3, 7, "a vertex", p);
            if (count == 0) return false;
            out_.positions.push_back({p[0], p[1], p[2]});
            // x y z r g b: a vertex colour (a seventh number, an alpha, is left out); x y z w: no colour.
            if (count >= 6) {
                out_.colours.resize(out_.positions.size() - 1, Vec3{1.0f, 1.0f, 1.0f});
                out_.colours.push_back({p[3], p[4], p[5]});
            }
            ++sofar_[kVertex];
        } else if (key == "vt") {
            float t[6] = {0.0f, 0.0f, 0.0f};
            if (!numbers(rest, 1, 3, "a texture coordinate", t)) return false;
            out_.texcoords.push_back(t[0]);
            out_.texcoords.push_back(t[1]);
            ++sofar_[kTexcoord];
        } else if (key == "vn") {
            float n[6];
            if (!numbers(rest, 3, 3, "a normal", n)) return false;
            out_.normals.push_back({n[0], n[1], n[2]});
            ++sofar_[kNormal];
        } else if (key == "f") {
            return face(rest);
        } else if (key.substr(0, 6) == "usemtl") {
            // The name runs from after the keyword to the next space, '#' included.
            std::string_view name = line.substr(static_cast<size_t>(key.data() - line.data()) + 6);
            while (!name.empty() && space(name[0])) name.remove_prefix(1);
            size_t end = 0;
            while (end < name.size() && !space(name[end])) ++end;
            out_.materialLines.push_back({faceCount(), false, name.substr(0, end)});
        } else if (key == "mtllib" && key.data() + key.size() < line.data() + line.size()) {
            out_.materialLines.push_back({faceCount(), true, line.substr(static_cast<size_t>(key.data() - line.data()) + 7)});
        }
        return true;
    }

private:
    uint32_t faceCount() const { return static_cast<uint32_t>(out_.faceEnd.size()); }

    template <class Message>
    bool refuse(Message message) {
        if (why_) *why_ = message();
        return false;
    }

    // The count of numbers on the line (0 when refused), the first six of them into first6.
    int numbers(std::string_view line, int least, int most, const char* what, float* first6) {
        int count = 0;
        for (std::string_view t = nextToken(line); !t.empty(); t = nextToken(line)) {
            std::string_view digits = t;
            if (digits.size() > 1 && digits[0] == '+' && digits[1] != '-') digits.remove_prefix(1);
            double value = 0.0;
            const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
            if (ec == std::errc::invalid_argument) return refuse([&] { return quoted(t) + " is not a number"; });
            if (ptr != digits.data() + digits.size())
                return refuse([&] { return quoted(t) + " has characters after its number"; });
            // Out of range is overflow or underflow; strtod tells which.
            if (ec == std::errc::result_out_of_range) value = std::strtod(std::string(digits).c_str(), nullptr);
            if (!std::isfinite(value) || std::fabs(value) > FLT_MAX)
                return refuse([&] { return quoted(t) + " is not a finite number in single precision"; });
            if (count < 6) first6[count] = static_cast<float>(value);
            ++count;
        }
        if (count < least || count > most)
            return refuse([&] {
                return std::string(what) + " needs " + std::to_string(least) +
                       (least == most ? "" : " to " + std::to_string(most)) + " numbers, this one has " +
                       std::to_string(count);
            });
        return count;
    }

    // One index of a corner: nonzero and below 2^31; with totals, naming an element the file has.
    bool index(std::string_view part, std::string_view corner, Element kind, int32_t& out) {
        static const char* const kNames[3] = {"vertex", "texture coordinate", "normal"};
        std::string_view digits = part;
        const bool negative = !digits.empty() && digits[0] == '-';
        if (negative) digits.remove_prefix(1);
        if (digits.empty()) return refuse([&] { return "face corner " + quoted(corner) + " is not i, i/t, i//n or i/t/n"; });
        uint64_t value = 0;
        for (const char c : digits) {
            if (c < '0' || c > '9')
                return refuse([&] { return "face corner " + quoted(corner) + " has characters that are not an index"; });
            value = value * 10 + static_cast<uint64_t>(c - '0');
            if (value > INT32_MAX) return refuse([&] { return "face corner " + quoted(corner) + " has an index past 2^31"; });
        }
        if (value == 0) return refuse([&] { return "face corner " + quoted(corner) + " has index 0; indices count from 1"; });
        out = negative ? -static_cast<int32_t>(value) : static_cast<int32_t>(value);
        if (!totals_) return true;
        const long have = negative ? sofar_[kind] : (*totals_)[kind];
        if (static_cast<long>(value) <= have) return true;
        return refuse([&] {
            return "face corner " + quoted(corner) + " names " + kNames[kind] + " " + (negative ? "-" : "") +
                   std::to_string(value) + (negative ? ", back past the first; " : " of ") + std::to_string(have) +
                   (negative ? " so far" : "");
        });
    }

    bool face(std::string_view line) {
        size_t corners = 0;
        bool back = false;
        for (std::string_view t = nextToken(line); !t.empty(); t = nextToken(line)) {
            ++corners;
            std::string_view parts[3];
            size_t count = 0;
            for (std::string_view rest = t;; ++count) {
                const size_t slash = rest.find('/');
                if (count == 3) return refuse([&] { return "face corner " + quoted(t) + " is not i, i/t, i//n or i/t/n"; });
                parts[count] = rest.substr(0, slash);
                if (slash == std::string_view::npos) break;
                rest.remove_prefix(slash + 1);
            }
            int32_t i[3] = {0, 0, 0};
            if (!index(parts[0], t, kVertex, i[0])) return false;
            if (count >= 1 && !(count == 2 && parts[1].empty()) && !index(parts[1], t, kTexcoord, i[1])) return false;
            if (count == 2 && !index(parts[2], t, kNormal, i[2])) return false;
            back |= i[0] < 0 || i[1] < 0 || i[2] < 0;
            out_.corners.insert(out_.corners.end(), i, i + 3);
        }
        if (corners < 3)
            return refuse([&] { return "a face needs at least 3 corners, this one has " + std::to_string(corners); });
        if (corners > kMaxObjFaceCorners)
            return refuse([&] {
                return "a face has " + std::to_string(corners) + " corners, more than " + std::to_string(kMaxObjFaceCorners);
            });
        if (back)
            out_.backCounts.push_back({faceCount(), static_cast<uint32_t>(sofar_[kVertex]),
                                       static_cast<uint32_t>(sofar_[kTexcoord]), static_cast<uint32_t>(sofar_[kNormal])});
        out_.faceEnd.push_back(static_cast<uint32_t>(out_.corners.size() / 3));
        out_.triangles += corners - 2;
        return true;
    }

    Chunk& out_;
    const Counts* totals_;
    std::string* why_;
    Counts sofar_{};  // elements before the current line, in the range read
};

// The elements of each kind a text has, counted by their lines' first word.
Counts countElements(std::string_view text) {
    Counts n{};
    forEachLine(text, 0, text.size(), [&](std::string_view line) {
        const std::string_view key = nextToken(line);
        if (key == "v") ++n[kVertex];
        if (key == "vt") ++n[kTexcoord];
        if (key == "vn") ++n[kNormal];
        return true;
    });
    return n;
}

// Reads the text from its first line, checking each line against the whole file, and throws the
// first fault with its line number. Runs only for a text known to have one.
[[noreturn]] void explainFault(std::string_view text, const std::string& name, const std::string& keyPath) {
    const Counts totals = countElements(text);
    Chunk scratch;
    std::string why;
    LineReader reader(scratch, &totals, &why);
    long line = 0;
    forEachLine(text, 0, text.size(), [&](std::string_view l) {
        ++line;
        return reader.read(l);
    });
    if (!why.empty()) fault(keyPath, name + ":" + std::to_string(line) + ": " + why);
    fault(keyPath, name + ": not a readable OBJ file");
}

// The names of an mtllib line: separated by spaces, a backslash keeping the next character.
std::vector<std::string> libraryNames(std::string_view text) {
    std::vector<std::string> names;
    std::string name;
    bool escaped = false;
    for (const char c : text) {
        if (escaped) {
            escaped = false;
        } else if (c == '\\') {
            escaped = true;
            continue;
        } else if (c == ' ') {
            if (!name.empty()) names.push_back(name);
            name.clear();
            continue;
        }
        name += c;
    }
    names.push_back(name);
    return names;
}

struct ReadRun {
    std::string_view text;
    std::vector<Chunk>& chunks;
    const ObjReadOptions& options;
    MeshData& mesh;
    Counts totals{};
    std::atomic<size_t> next{0};
    std::atomic<size_t> done{0};
};

void readChunks(int, void* context) {
    ReadRun& run = *static_cast<ReadRun*>(context);
    for (size_t c; (c = run.next.fetch_add(1)) < run.chunks.size();) {
        Chunk& chunk = run.chunks[c];
        // Room for the most a range of this size can hold (pages untouched cost nothing), so the
        // arrays never move while they grow: "v 0 0 0" and "f 1 2 3" take at least 8 bytes a line.
        const size_t lines = (chunk.end - chunk.begin) / 8 + 1;
        chunk.positions.reserve(lines);
        chunk.corners.reserve(lines * 9);
        chunk.faceEnd.reserve(lines);
        LineReader reader(chunk, nullptr, nullptr);
        chunk.faulty = !forEachLine(run.text, chunk.begin, chunk.end,
                                    [&](std::string_view line) { return reader.read(line); });
        const size_t bytes = run.done.fetch_add(chunk.end - chunk.begin) + chunk.end - chunk.begin;
        run.options.progress.part(0.0, 0.8).set(double(bytes) / double(run.text.size()));
    }
}

// Resolves a chunk's indices against the whole file and writes its triangles.
void makeTriangles(int, void* context) {
    ReadRun& run = *static_cast<ReadRun*>(context);
    std::vector<Vec3> polygon;
    for (size_t c; (c = run.next.fetch_add(1)) < run.chunks.size();) {
        Chunk& chunk = run.chunks[c];
        MeshData::Triangle* out = run.mesh.triangles.data() + chunk.firstTriangle;
        size_t back = 0, materialAt = 0;
        int material = chunk.startMaterial;
        const int materials = static_cast<int>(run.mesh.materials.size());
        uint32_t corner = 0;
        for (uint32_t f = 0; f < chunk.faceEnd.size(); ++f) {
            Counts before = chunk.first;
            if (back < chunk.backCounts.size() && chunk.backCounts[back][0] == f) {
                for (int k = 0; k < 3; ++k) before[static_cast<size_t>(k)] += chunk.backCounts[back][k + 1];
                ++back;
            }
            while (materialAt < chunk.materialFrom.size() && chunk.materialFrom[materialAt].first <= f)
                material = chunk.materialFrom[materialAt++].second;
            const uint32_t end = chunk.faceEnd[f];
            const size_t n = end - corner;
            bool inRange = true;
            // Each corner as 0-based indices: vertex, texture coordinate (or -1), normal (or -1).
            auto resolved = [&](uint32_t k, int kind) -> int {
                const int32_t i = chunk.corners[size_t(k) * 3 + size_t(kind)];
                if (i == 0) return -1;
                const long r = i > 0 ? long(i) - 1 : before[size_t(kind)] + i;
                if (r < 0 || r >= run.totals[size_t(kind)]) inRange = false;
                return static_cast<int>(r);
            };
            auto resolvedCorner = [&](uint32_t k) -> MeshData::Corner {
                return {resolved(k, kVertex), resolved(k, kNormal), resolved(k, kTexcoord)};
            };
            const int faceMaterial = material < materials ? material : -1;
            if (n == 3) {
                const MeshData::Corner a = resolvedCorner(corner), b = resolvedCorner(corner + 1),
                                       c = resolvedCorner(corner + 2);
                if (!inRange) break;
                *out++ = {{a, b, c}, faceMaterial};
            } else {
                polygon.resize(n);
                for (uint32_t k = 0; k < n && inRange; ++k) {
                    const MeshData::Corner p = resolvedCorner(corner + k);
                    if (inRange) polygon[k] = run.mesh.positions[size_t(p.position)];
                }
                if (!inRange) break;
                // n - 2 triangles, as counted while reading.
                for (const std::array<int, 3>& t : triangulatePolygon(polygon))
                    *out++ = {{resolvedCorner(corner + uint32_t(t[0])), resolvedCorner(corner + uint32_t(t[1])),
                               resolvedCorner(corner + uint32_t(t[2]))},
                              faceMaterial};
            }
            corner = end;
        }
        chunk.faulty = corner != (chunk.faceEnd.empty() ? 0 : chunk.faceEnd.back());
        const size_t faces = run.done.fetch_add(1) + 1;
        run.options.progress.part(0.8, 1.0).set(double(faces) / double(run.chunks.size()));
    }
}

}  // namespace

MeshData readObjText(std::string_view text, const std::string& name, const std::string& keyPath,
                     const ObjReadOptions& options) {
    std::vector<Chunk> chunks;
    for (size_t at = 0; at < text.size() || chunks.empty();) {
        const size_t end = lineStartFrom(text, std::min(text.size(), at + std::max<size_t>(options.rangeBytes, 1)));
        chunks.emplace_back().begin = at;
        chunks.back().end = end;
        at = end;
        if (end >= text.size()) break;
    }
    MeshData mesh;
    ReadRun run{text, chunks, options, mesh};
    const int threads = static_cast<int>(std::min<size_t>(static_cast<size_t>(std::max(options.threads, 1)), chunks.size()));
    runWorkers(readChunks, &run, threads);
    for (const Chunk& c : chunks)
        if (c.faulty) explainFault(text, name, keyPath);

    // Where each range's elements and triangles start, and the material each face takes.
    size_t triangles = 0;
    std::map<std::string, int> byName;
    std::set<std::string> libraries;
    int material = -1;
    for (Chunk& c : chunks) {
        c.first = run.totals;
        c.firstTriangle = triangles;
        run.totals[kVertex] += static_cast<long>(c.positions.size());
        run.totals[kTexcoord] += static_cast<long>(c.texcoords.size() / 2);
        run.totals[kNormal] += static_cast<long>(c.normals.size());
        triangles += c.triangles;
        c.startMaterial = material;
        for (const MaterialLine& m : c.materialLines) {
            if (m.library) {
                if (!options.libraries) continue;
                for (const std::string& file : libraryNames(m.text)) {
                    if (libraries.count(file)) continue;  // read before: the line's other names may add more
                    if (options.libraries(file, byName, mesh.materials)) {
                        libraries.insert(file);
                        break;
                    }
                }
            } else {
                const auto found = byName.find(std::string(m.text));
                material = found == byName.end() ? -1 : found->second;
                c.materialFrom.push_back({m.face, material});
            }
        }
    }
    const bool coloured = std::any_of(chunks.begin(), chunks.end(), [](const Chunk& c) { return !c.colours.empty(); });
    if (coloured) mesh.colours.reserve(static_cast<size_t>(run.totals[kVertex]));
    mesh.positions.reserve(static_cast<size_t>(run.totals[kVertex]));
    mesh.normals.reserve(static_cast<size_t>(run.totals[kNormal]));
    mesh.texcoords.reserve(static_cast<size_t>(run.totals[kTexcoord]) * 2);
    for (Chunk& c : chunks) {
        if (coloured) {
            mesh.colours.insert(mesh.colours.end(), c.colours.begin(), c.colours.end());
            mesh.colours.resize(mesh.positions.size() + c.positions.size(), Vec3{1.0f, 1.0f, 1.0f});
            c.colours = {};
        }
        mesh.positions.insert(mesh.positions.end(), c.positions.begin(), c.positions.end());
        mesh.normals.insert(mesh.normals.end(), c.normals.begin(), c.normals.end());
        mesh.texcoords.insert(mesh.texcoords.end(), c.texcoords.begin(), c.texcoords.end());
        c.positions = {};
        c.normals = {};
        c.texcoords = {};
    }
    mesh.triangles.resize(triangles);
    run.next = 0;
    run.done = 0;
    runWorkers(makeTriangles, &run, threads);
    for (const Chunk& c : chunks)
        if (c.faulty) explainFault(text, name, keyPath);
    options.progress.set(1.0);
    return mesh;
}

}  // namespace lumo
