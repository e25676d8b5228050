#include "scenefile/obj_faces.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "scenefile/json_fields.h"

namespace lumo {

namespace {

// An element kind a face corner names, with how many the file has.
struct Kind {
    const char* what;
    long total = 0;    // in the whole file: positive indices may name any
    long sofar = 0;    // before the current line: negative indices count back from here
};

class ObjChecker {
public:
    ObjChecker(const std::string& name, const std::string& keyPath) : name_(name), keyPath_(keyPath) {}

    void run(std::string_view text) {
        forEachLine(text, [&](std::string_view line) {
            const std::string_view key = firstToken(line);
            if (key == "v") ++kinds_[0].total;
            if (key == "vt") ++kinds_[1].total;
            if (key == "vn") ++kinds_[2].total;
        });
        forEachLine(text, [&](std::string_view line) { checkLine(line); });
    }

private:
    template <class F>
    void forEachLine(std::string_view text, F f) {
        line_ = 0;
        size_t at = 0;
        while (at < text.size()) {
            size_t end = text.find_first_of("\r\n", at);
            if (end == std::string_view::npos) end = text.size();
            ++line_;
            f(text.substr(at, end - at));
            at = end;
            // "\n", "\r\n" and a lone "\r" each end a line.
            if (at < text.size() && text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
            ++at;
        }
    }

    static bool space(char c) { return c == ' ' || c == '\t'; }

    // Splits off the next space-separated token of `line` (comments end the line).
    static std::string_view nextToken(std::string_view& line) {
        size_t a = 0;
        while (a < line.size() && space(line[a])) ++a;
        if (a < line.size() && line[a] == '#') a = line.size();
        size_t b = a;
        while (b < line.size() && !space(line[b])) ++b;
        const std::string_view token = line.substr(a, b - a);
        line.remove_prefix(b);
        return token;
    }
    static std::string_view firstToken(std::string_view line) { return nextToken(line); }

    static std::string quoted(std::string_view token) {
        constexpr size_t kShown = 40;
        std::string q = "'";
        q.append(token.substr(0, kShown));
        q.append(token.size() > kShown ? "...'" : "'");
        return q;
    }

    [[noreturn]] void refuse(const std::string& what) const {
        fault(keyPath_, name_ + ":" + std::to_string(line_) + ": " + what);
    }

    void checkLine(std::string_view line) {
        const std::string_view key = nextToken(line);
        if (key == "v") checkNumbers(line, 3, 7, "a vertex");
        else if (key == "vt") checkNumbers(line, 1, 3, "a texture coordinate");
        else if (key == "vn") checkNumbers(line, 3, 3, "a normal");
        else if (key == "f") checkFace(line);
        if (key == "v") ++kinds_[0].sofar;
        if (key == "vt") ++kinds_[1].sofar;
        if (key == "vn") ++kinds_[2].sofar;
    }

    void checkNumbers(std::string_view line, int least, int most, const char* what) {
        int count = 0;
        for (std::string_view t = nextToken(line); !t.empty(); t = nextToken(line)) {
            ++count;
            std::string_view digits = t;
            if (digits.size() > 1 && digits[0] == '+' && digits[1] != '-') digits.remove_prefix(1);
            double value = 0.0;
            const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
            if (ec == std::errc::invalid_argument) refuse(quoted(t) + " is not a number");
            if (ptr != digits.data() + digits.size()) refuse(quoted(t) + " has characters after its number");
            // Out of range is overflow or underflow; strtod tells which.
            if (ec == std::errc::result_out_of_range) value = std::strtod(std::string(digits).c_str(), nullptr);
            if (!std::isfinite(value) || std::fabs(value) > FLT_MAX)
                refuse(quoted(t) + " is not a finite number in single precision");
        }
        if (count < least || count > most)
            refuse(std::string(what) + " needs " + std::to_string(least) +
                   (least == most ? "" : " to " + std::to_string(most)) + " numbers, this one has " +
                   std::to_string(count));
    }

    // One index of a corner: nonzero, below 2^31, naming an element the file has.
    void checkIndex(std::string_view part, std::string_view corner, Kind& kind) {
        std::string_view digits = part;
        const bool negative = !digits.empty() && digits[0] == '-';
        if (negative) digits.remove_prefix(1);
        if (digits.empty()) refuse("face corner " + quoted(corner) + " is not i, i/t, i//n or i/t/n");
        uint64_t value = 0;
        for (const char c : digits) {
            if (c < '0' || c > '9') refuse("face corner " + quoted(corner) + " has characters that are not an index");
            value = value * 10 + static_cast<uint64_t>(c - '0');
            if (value > INT32_MAX) refuse("face corner " + quoted(corner) + " has an index past 2^31");
        }
        if (value == 0) refuse("face corner " + quoted(corner) + " has index 0; indices count from 1");
        const long have = negative ? kind.sofar : kind.total;
        if (static_cast<long>(value) > have)
            refuse("face corner " + quoted(corner) + " names " + kind.what + " " + (negative ? "-" : "") +
                   std::to_string(value) + (negative ? ", back past the first; " : " of ") +
                   std::to_string(have) + (negative ? " so far" : ""));
    }

    void checkFace(std::string_view line) {
        size_t corners = 0;
        for (std::string_view t = nextToken(line); !t.empty(); t = nextToken(line)) {
            ++corners;
            std::string_view parts[3];
            size_t count = 0;
            for (std::string_view rest = t;; ++count) {
                const size_t slash = rest.find('/');
                if (count == 3) refuse("face corner " + quoted(t) + " is not i, i/t, i//n or i/t/n");
                parts[count] = rest.substr(0, slash);
                if (slash == std::string_view::npos) break;
                rest.remove_prefix(slash + 1);
            }
            checkIndex(parts[0], t, kinds_[0]);
            if (count >= 1 && !(count == 2 && parts[1].empty())) checkIndex(parts[1], t, kinds_[1]);
            if (count == 2) checkIndex(parts[2], t, kinds_[2]);
        }
        if (corners < 3) refuse("a face needs at least 3 corners, this one has " + std::to_string(corners));
        if (corners > kMaxObjFaceCorners)
            refuse("a face has " + std::to_string(corners) + " corners, more than " +
                   std::to_string(kMaxObjFaceCorners));
    }

    std::string name_, keyPath_;
    Kind kinds_[3] = {{"vertex"}, {"texture coordinate"}, {"normal"}};
    long line_ = 0;
};

}  // namespace

void checkObjText(const std::string& text, const std::string& name, const std::string& keyPath) {
    ObjChecker(name, keyPath).run(text);
}

std::vector<std::array<int, 3>> triangulatePolygon(const std::vector<Vec3>& c) {
    const int n = static_cast<int>(c.size());
    std::vector<std::array<int, 3>> out;
    if (n < 3) return out;
    if (n == 3) return {{0, 1, 2}};
    // Newell's normal; the polygon is projected onto the plane of its largest component.
    double nx = 0, ny = 0, nz = 0;
    for (int i = 0; i < n; ++i) {
        const Vec3 &a = c[static_cast<size_t>(i)], &b = c[static_cast<size_t>((i + 1) % n)];
        nx += (double(a.y) - b.y) * (double(a.z) + b.z);
        ny += (double(a.z) - b.z) * (double(a.x) + b.x);
        nz += (double(a.x) - b.x) * (double(a.y) + b.y);
    }
    const int drop = std::fabs(nx) >= std::fabs(ny) && std::fabs(nx) >= std::fabs(nz) ? 0
                     : std::fabs(ny) >= std::fabs(nz)                                  ? 1
                                                                                       : 2;
    std::vector<double> u(static_cast<size_t>(n)), v(static_cast<size_t>(n));
    double area2 = 0.0;
    for (size_t i = 0; i < u.size(); ++i) {
        const Vec3& p = c[i];
        u[i] = drop == 0 ? p.y : drop == 1 ? p.z : p.x;
        v[i] = drop == 0 ? p.z : drop == 1 ? p.x : p.y;
    }
    for (size_t i = 0; i < u.size(); ++i) {
        const size_t j = (i + 1) % u.size();
        area2 += u[i] * v[j] - u[j] * v[i];
    }
    std::vector<int> prev(static_cast<size_t>(n)), next(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        prev[static_cast<size_t>(i)] = (i + n - 1) % n;
        next[static_cast<size_t>(i)] = (i + 1) % n;
    }
    auto fan = [&](int from, int count) {
        for (int k = 0, a = next[static_cast<size_t>(from)]; k < count - 2; ++k, a = next[static_cast<size_t>(a)])
            out.push_back({from, a, next[static_cast<size_t>(a)]});
    };
    if (!std::isfinite(area2) || area2 == 0.0) {
        fan(0, n);
        return out;
    }
    const double sign = area2 > 0 ? 1.0 : -1.0;
    // Positive when a, b, c turn the polygon's way (b is a convex corner).
    auto turn = [&](int a, int b, int d) {
        const size_t i = static_cast<size_t>(a), j = static_cast<size_t>(b), k = static_cast<size_t>(d);
        return sign * ((u[j] - u[i]) * (v[k] - v[i]) - (v[j] - v[i]) * (u[k] - u[i]));
    };
    std::vector<int> reflex;
    for (int i = 0; i < n; ++i)
        if (turn(prev[static_cast<size_t>(i)], i, next[static_cast<size_t>(i)]) < 0) reflex.push_back(i);
    if (n == 4 && reflex.empty()) {
        // A convex quad: the shorter diagonal, in single precision.
        auto sq = [&](int a, int b) {
            const Vec3 &p = c[static_cast<size_t>(a)], &q = c[static_cast<size_t>(b)];
            const float dx = q.x - p.x, dy = q.y - p.y, dz = q.z - p.z;
            return dx * dx + dy * dy + dz * dz;
        };
        if (sq(0, 2) < sq(1, 3)) return {{0, 1, 2}, {0, 2, 3}};
        return {{0, 1, 3}, {1, 2, 3}};
    }
    std::vector<char> removed(static_cast<size_t>(n), 0);
    int remaining = n, cur = 0, misses = 0;
    while (remaining > 3) {
        const int p = prev[static_cast<size_t>(cur)], q = next[static_cast<size_t>(cur)];
        bool ear = turn(p, cur, q) >= 0;
        // An ear holds no other corner, inside or on its edges; only reflex corners can lie inside.
        for (size_t k = 0; ear && k < reflex.size(); ++k) {
            const int r = reflex[k];
            if (removed[static_cast<size_t>(r)] || r == p || r == cur || r == q) continue;
            ear = !(turn(p, cur, r) >= 0 && turn(cur, q, r) >= 0 && turn(q, p, r) >= 0);
        }
        if (ear) {
            out.push_back({p, cur, q});
            removed[static_cast<size_t>(cur)] = 1;
            next[static_cast<size_t>(p)] = q;
            prev[static_cast<size_t>(q)] = p;
            --remaining;
            cur = q;
            misses = 0;
        } else if (++misses > remaining) {
            break;  // no ear left: a self-crossing polygon; the rest becomes a fan
        } else {
            cur = q;
        }
    }
    fan(cur, remaining);
    return out;
}

}  // namespace lumo
