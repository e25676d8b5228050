#!/usr/bin/env python3
"""Writes the shipped mesh scene: a torus knot as OBJ with its MTL, a gem as glTF 2.0 and the scene
file that places both on a checkered ground.

    python3 tools/make_mesh_scene.py [OUTPUT_FOLDER]     (default: scenes)

The meshes are the project's own, made here from formulas: knot.obj (smooth normals and texture
coordinates), gem.gltf (flat faces, one base colour, the buffer embedded as base64).
"""
import base64
import json
import math
import os
import struct
import sys


def knot_point(t, p=2, q=3):
    r = 2.0 + math.cos(q * t)
    return (r * math.cos(p * t), r * math.sin(p * t), math.sin(q * t))


def sub(a, b):
    return tuple(x - y for x, y in zip(a, b))


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def normalize(a):
    n = math.sqrt(sum(x * x for x in a))
    return tuple(x / n for x in a)


def write_knot(folder, segments=144, sides=12, tube=0.45):
    """A tube around the (2, 3) torus knot, in knot units (about 6.6 across); the scene scales it."""
    vertices, normals, uvs = [], [], []
    for i in range(segments):
        t = 2.0 * math.pi * i / segments
        c = knot_point(t)
        tangent = normalize(sub(knot_point(t + 1e-4), knot_point(t - 1e-4)))
        # A frame from the knot's own outward direction: it turns smoothly along the whole curve.
        outward = normalize((c[0], c[1], 0.0))
        side = normalize(cross(tangent, outward))
        up = cross(side, tangent)
        for j in range(sides):
            a = 2.0 * math.pi * j / sides
            n = tuple(math.cos(a) * u + math.sin(a) * s for u, s in zip(up, side))
            vertices.append(tuple(ci + tube * ni for ci, ni in zip(c, n)))
            normals.append(n)
            uvs.append((i / segments, j / sides))
    lines = ["# Torus knot (2, 3), made by tools/make_mesh_scene.py", "mtllib knot.mtl", "o knot"]
    lines += ["v %.4f %.4f %.4f" % v for v in vertices]
    lines += ["vn %.4f %.4f %.4f" % n for n in normals]
    lines += ["vt %.4f %.4f" % uv for uv in uvs]
    lines.append("usemtl Lacquer")
    for i in range(segments):
        for j in range(sides):
            a = i * sides + j + 1
            b = ((i + 1) % segments) * sides + j + 1
            c = ((i + 1) % segments) * sides + (j + 1) % sides + 1
            d = i * sides + (j + 1) % sides + 1
            lines.append("f %d/%d/%d %d/%d/%d %d/%d/%d %d/%d/%d" % (a, a, a, b, b, b, c, c, c, d, d, d))
    with open(os.path.join(folder, "knot.obj"), "w") as f:
        f.write("\n".join(lines) + "\n")
    with open(os.path.join(folder, "knot.mtl"), "w") as f:
        f.write("# Material of knot.obj\nnewmtl Lacquer\nKd 0.8 0.15 0.1\nKs 0.3 0.3 0.3\nNs 40\nillum 3\n")
    return segments * sides * 2


def write_gem(folder):
    """An octahedron stretched upwards, flat faces, as glTF 2.0 (y up, as glTF has it)."""
    corners = [(1, 0, 0), (0, 0, 1), (-1, 0, 0), (0, 0, -1)]
    top, bottom = (0, 1.6, 0), (0, -1, 0)
    positions, normals = [], []
    for k in range(4):
        a, b = corners[k], corners[(k + 1) % 4]
        for tri in ((a, top, b), (b, bottom, a)):
            n = normalize(cross(sub(tri[1], tri[0]), sub(tri[2], tri[0])))
            for p in tri:
                positions.append(p)
                normals.append(n)
    data = b"".join(struct.pack("<3f", *p) for p in positions) + b"".join(struct.pack("<3f", *n) for n in normals)
    count = len(positions)
    gltf = {
        "asset": {"version": "2.0", "generator": "tools/make_mesh_scene.py"},
        "scene": 0,
        "scenes": [{"nodes": [0]}],
        "nodes": [{"mesh": 0, "scale": [0.5, 0.5, 0.5]}],
        "meshes": [{"primitives": [{"attributes": {"POSITION": 0, "NORMAL": 1}, "material": 0}]}],
        "materials": [{"name": "Jade", "pbrMetallicRoughness": {"baseColorFactor": [0.2, 0.75, 0.45, 1.0]}}],
        "buffers": [{"byteLength": len(data),
                     "uri": "data:application/octet-stream;base64," + base64.b64encode(data).decode()}],
        "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": count * 12},
                        {"buffer": 0, "byteOffset": count * 12, "byteLength": count * 12}],
        "accessors": [
            {"bufferView": 0, "componentType": 5126, "count": count, "type": "VEC3",
             "min": [min(p[i] for p in positions) for i in range(3)],
             "max": [max(p[i] for p in positions) for i in range(3)]},
            {"bufferView": 1, "componentType": 5126, "count": count, "type": "VEC3"},
        ],
    }
    with open(os.path.join(folder, "gem.gltf"), "w") as f:
        json.dump(gltf, f, indent=1)
        f.write("\n")


def write_scene(folder):
    scene = {
        "version": 1,
        "title": "Knot and Gem",
        "camera": {"eye": [4.6, -5.0, 3.0], "lookAt": [0.3, -0.3, 0.8], "fieldOfView": 30},
        "light": {"position": [5, -3, 7]},
        "materials": [
            {"name": "Ground", "diffuse": [0.2, 0.3, 0.8], "reflectivity": 0.2, "phongExponent": 20, "matte": True},
            {"name": "Brass", "diffuse": [0.9, 0.75, 0.35], "reflectivity": 0.4, "phongExponent": 30},
        ],
        "objects": [
            {"shape": "parallelogram", "material": "Ground", "origin": [-3, -3, 0], "edgeA": [6, 0, 0],
             "edgeB": [0, 6, 0], "flags": ["checkered", "noShadowCast"]},
            {"shape": "mesh", "file": "meshes/knot.obj",
             "transform": [{"scale": 0.3}, {"rotateZ": 20}, {"translate": [0, 0.3, 1.0]}]},
            {"shape": "mesh", "file": "meshes/gem.gltf", "transform": [{"translate": [1.5, -1.2, 0.5]}]},
            {"shape": "disc", "material": "Brass", "centre": [1.5, -1.2, 0.002], "radius": 0.45},
        ],
    }
    with open(os.path.join(folder, "mesh.json"), "w") as f:
        json.dump(scene, f, indent=2)
        f.write("\n")


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "scenes"
    meshes = os.path.join(out, "meshes")
    os.makedirs(meshes, exist_ok=True)
    triangles = write_knot(meshes)
    write_gem(meshes)
    write_scene(out)
    print("wrote %s/mesh.json, meshes/knot.obj (%d triangles), meshes/gem.gltf" % (out, triangles))


if __name__ == "__main__":
    main()
