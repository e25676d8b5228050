#!/usr/bin/env python3
"""Writes the meshes bench/run measures: closed spheres with rippled surfaces, made from formulas, as
OBJ files with a close and a far scene file each.

    python3 tools/make_bench_meshes.py OUTPUT_FOLDER [NAME:TRIANGLES ...]

Default: bumpy70k (about 70,000 triangles, many small bumps, like a scanned model) and ripple1m
(about 1,000,000 triangles, long ripples). The files are the same on every run.
"""
import json
import math
import os
import sys

# name: (triangles, ripples along a meridian, ripples around, ripple height)
KINDS = {"bumpy70k": (70000, 23, 31, 0.04), "ripple1m": (1000000, 8, 6, 0.05)}


def write_mesh(path, triangles, waves_th, waves_ph, height):
    rows = max(2, round(math.sqrt(triangles / 4.0)))
    cols = 2 * rows
    lines = []
    # One vertex at each pole, rings between them.
    lines.append("v 0 0 %.7g\n" % (1.0 + 1.0))
    for i in range(1, rows):
        th = math.pi * i / rows
        for j in range(cols):
            ph = 2 * math.pi * j / cols
            r = 1.0 + height * math.sin(waves_th * th) * math.cos(waves_ph * ph)
            lines.append("v %.7g %.7g %.7g\n" % (r * math.sin(th) * math.cos(ph), r * math.sin(th) * math.sin(ph),
                                                  1.0 + r * math.cos(th)))
    lines.append("v 0 0 %.7g\n" % (1.0 - 1.0))
    south = 1 + (rows - 1) * cols + 1
    ring = lambda i, j: 2 + (i - 1) * cols + (j % cols)  # 1-based, ring i = 1 .. rows-1
    count = 0
    for j in range(cols):
        lines.append("f 1 %d %d\n" % (ring(1, j), ring(1, j + 1)))
        lines.append("f %d %d %d\n" % (south, ring(rows - 1, j + 1), ring(rows - 1, j)))
        count += 2
    for i in range(1, rows - 1):
        for j in range(cols):
            a, b, c, d = ring(i, j), ring(i + 1, j), ring(i + 1, j + 1), ring(i, j + 1)
            lines.append("f %d %d %d\n" % (a, b, c))
            lines.append("f %d %d %d\n" % (a, c, d))
            count += 2
    with open(path, "w") as f:
        f.write("# closed rippled sphere, %d triangles\n" % count)
        f.writelines(lines)
    return count


def write_scene(path, obj, distance, title):
    scene = {"version": 1, "title": title,
             "camera": {"azimuth": math.degrees(1.3), "elevation": math.degrees(0.4), "distance": distance,
                        "lookAt": [0, 0, 1]},
             "light": {"position": [5, -3, 7]},
             "materials": [{"name": "Clay", "diffuse": [0.8, 0.7, 0.6], "phongExponent": 20}],
             "objects": [{"shape": "mesh", "file": obj, "material": "Clay"}]}
    with open(path, "w") as f:
        json.dump(scene, f, indent=1)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    wanted = sys.argv[2:] or list(KINDS)
    for name in wanted:
        name, _, size = name.partition(":")
        triangles, waves_th, waves_ph, height = KINDS.get(name, KINDS["bumpy70k"])
        triangles = int(size) if size else triangles
        count = write_mesh(os.path.join(out, name + ".obj"), triangles, waves_th, waves_ph, height)
        for view, distance in (("close", 3.5), ("far", 7)):
            write_scene(os.path.join(out, "%s_%s.json" % (name, view)), name + ".obj", distance, "%s, %s" % (name, view))
        print("%s %d" % (name, count))


if __name__ == "__main__":
    main()
