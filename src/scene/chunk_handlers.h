// Private to the scene loader: the chunk handlers that the chunk table names.
#pragma once

#include <cstdio>

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
