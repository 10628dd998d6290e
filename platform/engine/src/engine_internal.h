#pragma once

#include "velmora/Math.h"
#include "velmora/Ptr.h"
#include "velmora/String.h"
#include "velmora/UGUID.h"
#include "velmora/Vector.h"

#include <QImage>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace Velmora {

class Camera;
class EditorLogicInterface;
class Material;
class Node;
class Xml;
class FeskNode;

// Glue between the engine's families. Everything here runs on the engine's
// main thread unless noted.
namespace engine_internal {

// True between Engine::init and Engine::shutdown (any thread).
bool isRunning();
// Returns isRunning(); when the engine is not running, logs one error line
// naming what (once per name until the next init).
bool checkRunning(const char *what);
void resetRunningChecks();

// The installed editor logic, or null.
EditorLogicInterface *editorLogic();

// Engine::get()'s folders ("" when not running).
String dataPath();
String cachePath();
int buildConfiguration();

// Absolute path of a data file given as a data path, an absolute path or a
// GUID text (with or without "guid://"); "" when it does not resolve.
String resolveDataFile(const char *name);
// Data-relative form of an absolute path inside the data folder, else the
// text unchanged.
String toDataRelative(const String &absolute);

// Writes a whole file or nothing: the bytes go to a new temporary file
// beside the target, which replaces the target only once every write, the
// sync and the close have succeeded. On any failure the old file is
// untouched and the temporary file is gone. A target that is a symbolic
// link to a file inside the data folder writes that file (the temporary file
// beside it) and stays a link; a link leading outside, nowhere or round in a
// loop, a name that is not a plain file, or an existing file that is not
// writable is refused. A mode the file system cannot store is not kept, and
// is no failure. Any thread. False on failure, with the reason in *error, or
// logged as one error line when error is null.
bool writeFileAtomic(const char *path, const char *data, size_t size, String *error = nullptr);
bool writeFileAtomic(const String &path, const QByteArray &data);
// Opens a user's file for reading without ever waiting: only a regular
// file (its kind seen after every link, on the opened descriptor) is
// opened; a FIFO, a device or a socket gives -1, as a missing file does.
int openRegularFile(const char *path);
// Reads a whole regular file (openRegularFile); false when unreadable.
bool readFile(const String &path, QByteArray &data);

// How a whole-file read of the readers went.
enum class FileRead {
    OK,
    CANNOT_OPEN, // missing, unreadable or not a regular file
    TOO_LARGE, // larger than the reader's limit (nothing read)
    CANNOT_READ,
};
// Reads a whole regular file of at most max_size bytes with plain system
// calls (the XML and FESK readers load many small files).
FileRead readWholeFile(const char *path, long long max_size, QByteArray &data);
// Parse the bytes of the file at path (absolute) as Xml::load and
// FeskNode::load do once they have read it: the same checks and log lines,
// for a caller that has read the file already (any thread).
bool parseXmlFile(Xml &xml, const QByteArray &bytes, const char *path);
// Runs work(0) .. work(count - 1) on up to eight threads (the caller's
// among them) and returns when all are done. Each item's log lines are
// held and written afterwards in item order, so the log reads as if the
// items ran one after another. The other threads have tables of file
// descriptors of their own: work closes every file it opens.
void forEachOnThreads(size_t count, const std::function<void(size_t)> &work);
bool parseFeskFile(FeskNode &node, const QByteArray &bytes, const char *path);

// The data-relative paths of the indexed files whose extension (as
// String::extension() finds it, compared without regard to ASCII case) is
// extension (lower case), in the index's order: FileSystem::getFiles()
// filtered without copying every path.
std::vector<String> filesWithExtension(const char *extension);
// FileSystem::registerVirtualFile for each (guid, owner) under one lock,
// with the same warnings in the same order.
void registerVirtualFiles(const std::vector<std::pair<UGUID, UGUID>> &files);

// Float text that reads back as the same float.
String formatFloat(float value);
// Whitespace-separated floats; returns how many were read (at most max).
int parseFloats(const char *text, float *values, int max);

// Engine families started by Engine::init and stopped by Engine::shutdown.
void gameInit(unsigned int seed, float fixed_ifps);
void gameShutdown();
// Advances frame and game time by one update.
void gameAdvance();

void renderInit(int api, const Vector<int> &supported_apis);
void renderShutdown();
// Counting of the views drawn by one Engine::render (tests).
void renderBeginFrame();
void renderCountView();
// An on-screen view's last picture and the fingerprint of what it shows.
struct ViewPicture
{
    uint64_t key = 0;
    bool valid = false;
    QImage image;
};
// The CPU renderer: one view of the current world as a top-down RGBA8 image
// (or a float image when hdr; the caller converts). Null camera: background.
// With a kept picture, the picture itself comes back (the same image data)
// when nothing it shows has changed; reused tells which.
QImage renderWorld(const Ptr<Camera> &camera, int width, int height, ViewPicture *kept = nullptr,
                   bool *reused = nullptr);
// Float RGBA (linear, before encoding) for HDR output: width*height*4 floats,
// gamma-encoded but not clamped.
void renderWorldFloat(const Ptr<Camera> &camera, int width, int height, Vector<float> &rgba);

void materialsInit();
void materialsShutdown();
// Raised after every change to a material (its declarations, parent or
// states) and to the set of materials: while it stays the same, every
// material that is still alive reads as it did.
uint64_t materialsRevision();
// One step of the shader compile simulation (called by Engine::update).
void materialsCompileStep();
// Schedules count entries for compilation; every fourth one is unnamed.
void materialsScheduleTest(int count);
// Textures named by the loaded materials (data paths, sorted, unique).
Vector<String> materialsTexturePaths();

void propertiesInit();
void propertiesShutdown();

void worldInit();
void worldShutdown();
// Deletes orphan nodes nobody holds (end of every update).
void sweepNodes();
// Deletes every node (shutdown).
void destroyAllNodes();

void editorInit();
void editorShutdown();
// Places the editor camera to look at the world's bound box.
void editorFrameWorld();

void guiInit();
void guiShutdown();

// Plug-ins (plugins.cpp): loads the "-extern_plugin" modules; the frame
// hooks; shuts every plug-in down and releases the loaded ones.
void pluginsLoad(const std::vector<std::string> &args, const String &binaries_path, bool debug);
void pluginsUpdateMouse();
void pluginsUpdate();
void pluginsResetWindows();
void pluginsShutdown();

void miscInit();
void miscShutdown();

} // namespace engine_internal
} // namespace Velmora
