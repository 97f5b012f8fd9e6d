#include "threeds_writer.h"

std::string chunkHeader(uint16_t id, uint32_t length)
{
    return Bytes().u16(id).u32(length).data;
}

std::string chunk(uint16_t id, const std::string& body)
{
    return chunkHeader(id, (uint32_t)(6 + body.size())) + body;
}

std::string name(const std::string& text)
{
    return Bytes().str(text).data;
}

std::string pointArray(const std::vector<Point>& points)
{
    Bytes b;
    b.u16((unsigned)points.size());
    for (const Point& p : points)
        b.f32(p.x).f32(p.y).f32(p.z);
    return chunk(0x4110, b.data);
}

std::string faceArray(const std::vector<Tri>& faces, const std::string& subChunks)
{
    Bytes b;
    b.u16((unsigned)faces.size());
    for (const Tri& t : faces)
        b.u16(t.p).u16(t.q).u16(t.r).u16(7);
    return chunk(0x4120, b.data + subChunks);
}

std::string materialGroup(const std::string& material, const std::vector<unsigned>& faces)
{
    Bytes b;
    b.str(material).u16((unsigned)faces.size());
    for (unsigned f : faces)
        b.u16(f);
    return chunk(0x4130, b.data);
}

std::string mappingCoordinates(const std::vector<std::pair<float, float>>& uv)
{
    Bytes b;
    b.u16((unsigned)uv.size());
    for (const auto& c : uv)
        b.f32(c.first).f32(c.second);
    return chunk(0x4140, b.data);
}

std::string meshObject(const std::string& objectName, const std::string& meshChunks)
{
    return chunk(0x4000, name(objectName) + chunk(0x4100, meshChunks));
}

std::string materialEntry(const std::string& materialName)
{
    return chunk(0xAFFF, chunk(0xA000, name(materialName)));
}

std::string camera(const std::string& cameraName, Point position, Point target)
{
    Bytes b;
    b.f32(position.x).f32(position.y).f32(position.z).f32(target.x).f32(target.y).f32(target.z);
    b.f32(0).f32(35);
    return chunk(0x4000, name(cameraName) + chunk(0x4700, b.data));
}

std::string modelFile(const std::string& meshData, const std::string& keyframer)
{
    std::string body = chunk(0x0002, Bytes().u32(3).data) + chunk(0x3D3D, meshData);
    if (!keyframer.empty())
        body += chunk(0xB000, keyframer);
    return chunk(0x4D4D, body);
}

std::string track(uint16_t id, const std::vector<Key>& keys)
{
    Bytes b;
    b.u16(0).u32(0).u32(0).u32((unsigned)keys.size());
    for (const Key& k : keys) {
        b.u32(k.frame).u16(k.flags);
        for (float v : k.values)
            b.f32(v);
    }
    return chunk(id, b.data);
}

std::string nodeHeader(const std::string& nodeName, unsigned parent)
{
    return chunk(0xB010, Bytes().str(nodeName).u16(0).u16(0).u16(parent).data);
}
