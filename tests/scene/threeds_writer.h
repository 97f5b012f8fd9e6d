// A small 3DS writer for the scene tests: every chunk is built from its own
// bytes, so damaged files are as easy to make as sound ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/support.h"

// A chunk with the given id whose length counts its header and body.
std::string chunk(uint16_t id, const std::string& body);
// A chunk header with a length of our choosing (for broken lengths).
std::string chunkHeader(uint16_t id, uint32_t length);
// A terminated name.
std::string name(const std::string& text);

struct Point {
    float x, y, z;
};
struct Tri {
    unsigned p, q, r;
};

std::string pointArray(const std::vector<Point>& points);
// Face array with its sub-chunks (material groups) behind the faces.
std::string faceArray(const std::vector<Tri>& faces, const std::string& subChunks = "");
std::string materialGroup(const std::string& material, const std::vector<unsigned>& faces);
std::string mappingCoordinates(const std::vector<std::pair<float, float>>& uv);
// Named object holding a triangle mesh with the given sub-chunks.
std::string meshObject(const std::string& objectName, const std::string& meshChunks);
std::string materialEntry(const std::string& materialName);
std::string camera(const std::string& cameraName, Point position, Point target);
// The whole file: the magic chunk holding the mesh data and the keyframer.
std::string modelFile(const std::string& meshData, const std::string& keyframer = "");

struct Key {
    unsigned frame;
    unsigned flags;
    std::vector<float> values; // spline values (one per flag bit 0..2) then the key's own values
};
std::string track(uint16_t id, const std::vector<Key>& keys);
std::string nodeHeader(const std::string& nodeName, unsigned parent = 0xFFFF);
