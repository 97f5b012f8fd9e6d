// veltrix-inspect: one subcommand per kind of data file. Each prints one JSON
// object on stdout and returns 0, or prints {"error": "..."} and returns 1.
#pragma once

int inspectBmp(int argc, char** argv);
int inspectLife(int argc, char** argv);
int inspectScene(int argc, char** argv);
int inspectTga(int argc, char** argv);
int inspectTexture(int argc, char** argv);

// Prints {"error": "<reason>"} and returns 1.
int inspectError(const char* reason);
// Prints s as a JSON string literal, quotes included.
void printJsonString(const char* s);
