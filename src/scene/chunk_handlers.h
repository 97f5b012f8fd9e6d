// Private to the scene loader: the chunk handlers that the chunk table names.
#pragma once

#include <cstdio>

#include "scene/scene.h"

// Name indexes of the filling pass (name_index.cpp). nameOf gives the name of
// a record already added.
typedef const char* (*NameOf)(int32_t record);
// Room for `count` records; 1, or 0 when the table cannot be allocated.
int nameIndexInit(NameIndex* index, int32_t count);
void nameIndexRelease(NameIndex* index);
// An earlier record of the same name keeps its place.
void nameIndexAdd(NameIndex* index, int32_t record, const char* name, NameOf nameOf);
// Index of the first record of that name, or -1.
int32_t nameIndexFind(const NameIndex* index, const char* name, NameOf nameOf);

int skipValue16(FILE* file, long chunkEnd);
int skipValue24(FILE* file, long chunkEnd);
int skipValue32(FILE* file, long chunkEnd);
int skipPivot(FILE* file, long chunkEnd);
int skipNothing(FILE* file, long chunkEnd);
int skipMapName(FILE* file, long chunkEnd);
int skipPointFlags(FILE* file, long chunkEnd);
int skipSmoothGroups(FILE* file, long chunkEnd);
int skipColourTrack(FILE* file, long chunkEnd);
int skipTrack(FILE* file, long chunkEnd);

int readFloatColour(FILE* file, long chunkEnd);
int readNamedObject(FILE* file, long chunkEnd);
int readTriObject(FILE* file, long chunkEnd);
int readPointArray(FILE* file, long chunkEnd);
int readFaceArray(FILE* file, long chunkEnd);
int readMaterialGroup(FILE* file, long chunkEnd);
int readMappingCoordinates(FILE* file, long chunkEnd);
int readMeshMatrix(FILE* file, long chunkEnd);
int readDirectLight(FILE* file, long chunkEnd);
int readSpotlight(FILE* file, long chunkEnd);
int readInnerRange(FILE* file, long chunkEnd);
int readOuterRange(FILE* file, long chunkEnd);
int readMultiplier(FILE* file, long chunkEnd);
int readLightOff(FILE* file, long chunkEnd);
int readRayShadows(FILE* file, long chunkEnd);
int readCamera(FILE* file, long chunkEnd);
int readMaterialName(FILE* file, long chunkEnd);
int readSegment(FILE* file, long chunkEnd);
int readNodeId(FILE* file, long chunkEnd);
int readObjectNodeTag(FILE* file, long chunkEnd);
int readCameraNodeTag(FILE* file, long chunkEnd);
int readTargetNodeTag(FILE* file, long chunkEnd);
int readNodeHeader(FILE* file, long chunkEnd);
int readPositionTrack(FILE* file, long chunkEnd);
int readRotationTrack(FILE* file, long chunkEnd);
