// lw_bench: how fast the built programs convert, at sizes up to the
// capacities they accept.
//
//   build-<you>/bench/lw_bench [--bin <program folder>] [--work <folder>] [--runs N] [--quick]
//                              [--only full|refs|cells|meshshift] [--keep]
//   build-<you>/bench/lw_bench --identity <reference modshift> [--runs N]
//
// For each synthetic plugin it prepares a program folder copy, a source and a
// target data folder with every mesh already present (so modshift starts no
// meshshift), runs modshift N times and prints the median wall time, the
// processor time (user + system, steadier than wall time while other work
// loads the machine), the input throughput and the peak memory (resident set)
// of the process. Then it times meshshift on typical meshes, process start
// included. The full-capacity output is some 375 MiB: on a disk that other
// work keeps busy its write-back dominates the wall time, so a work folder on
// a memory file system (--work /dev/shm/lw-bench) measures the programs
// themselves. --only runs one part; --keep leaves the generated folders below
// the work folder (a failing run always leaves its folder, with the program's
// console output in console.txt).
//
// --identity converts N (--runs) randomized plugins (random heights with
// overflowing differences, normals, colours, textures, path grids with stray
// links, reference positions) with the built modshift and with an earlier
// build, and compares output files and console text byte for byte; it exits
// with 1 when any differ. Keep a copy of modshift before restructuring code.
// POSIX only: it measures child processes with wait4.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/nif4_builder.hpp"
#include "support/tes3_builder.hpp"

namespace fs = std::filesystem;
using lw::test::Fields;
using lw::test::Tes3Builder;

namespace {

struct Size {
    std::string name;
    int statics = 0, itemsPerType = 0, npcs = 0, interiors = 0, interiorRefs = 0, gridPoints = 0;
    int exteriorSide = 0;      // TES3 cells per side, centred on the origin
    int exteriorRefs = 0;      // spread over the exterior cells
    int outOfCellRefs = 0;     // listed in one cell, standing in another
    int exteriorGridPoints = 0;
    int regions = 0;
    int doorPairs = 0;
    std::uint32_t seed = 0; // not 0: land, path grids and positions drawn at random
};

// Values for the generated plugin: the fixed ones, or random ones when a seed
// is given (for comparing two builds of modshift on varied content).
class Noise {
public:
    explicit Noise(std::uint32_t seed) : on_(seed != 0), rng_(seed) {}
    bool on() const { return on_; }
    int pick(int lo, int hi, int fixed) { return on_ ? std::uniform_int_distribution<int>(lo, hi)(rng_) : fixed; }
    bool chance(int percent) { return on_ && pick(0, 99, 100) < percent; }

private:
    bool on_;
    std::mt19937 rng_;
};

struct Measure {
    double seconds = 0;
    double cpuSeconds = 0; // user + system of the child: steadier than wall time on a shared machine
    long peakKiB = 0;
    int status = -1;
};

double seconds(const timeval& t)
{
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// Runs the program in `dir`; its console output goes to `dir`/console.txt
// so that a failing run can be looked at.
Measure runOnce(const std::vector<std::string>& args, const fs::path& dir)
{
    Measure m;
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0)
            _exit(127);
        int devnull = open("/dev/null", O_RDWR);
        int console = open("console.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(devnull, 0);
        dup2(console, 1);
        dup2(console, 2);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    m.peakKiB = usage.ru_maxrss;
    m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m;
}

void writeFile(const fs::path& p, const std::vector<std::uint8_t>& bytes)
{
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void touch(const fs::path& p)
{
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << "mesh";
}

std::string id(const char* prefix, int i)
{
    return std::string(prefix) + std::to_string(i);
}

void pathGrid(Tes3Builder& b, Noise& noise, int gx, int gy, int points, int spread)
{
    points = noise.pick(1, points, points);
    b.record("PGRD");
    b.sub("DATA", Fields().i32(gx).i32(gy).u16(1024).i16(static_cast<std::int16_t>(points)));
    Fields pgrp, pgrc;
    for (int p = 0; p < points; ++p) {
        int links = noise.pick(0, 3, p + 1 < points ? 1 : 0);
        pgrp.i32(noise.pick(-300, spread + 300, (p * 97) % spread))
            .i32(noise.pick(-300, spread + 300, (p * 53) % spread))
            .i32(noise.pick(-2000, 2000, 0))
            .u8(0)
            .u8(static_cast<std::uint8_t>(links))
            .u16(0);
        for (int l = 0; l < links; ++l) // now and then a target past the list
            pgrc.u32(static_cast<std::uint32_t>(noise.pick(0, points + 1, p + 1)));
    }
    b.sub("PGRP", pgrp);
    b.sub("PGRC", pgrc);
    b.end();
}

void land(Tes3Builder& b, Noise& noise, int x, int y)
{
    b.record("LAND");
    b.sub("INTV", Fields().i32(x).i32(y));
    b.u32("DATA", 0x0F);
    std::vector<std::uint8_t> normals(65 * 65 * 3, 0);
    for (std::size_t i = 0; i < normals.size(); ++i)
        normals[i] = static_cast<std::uint8_t>(noise.pick(0, 255, i % 3 == 2 ? 127 : 0));
    b.sub("VNML", normals);
    Fields heights;
    heights.f32(static_cast<float>(noise.pick(-5000, 5000, (x + y) & 7)));
    const bool steep = noise.chance(20); // differences that overflow when re-based
    for (int i = 0; i < 65 * 65; ++i)
        heights.i8(static_cast<std::int8_t>(noise.pick(steep ? -128 : -3, steep ? 127 : 3, (i * 7 + x) % 5 - 2)));
    heights.zeros(3);
    b.sub("VHGT", heights);
    if (!noise.chance(15)) {
        std::vector<std::uint8_t> colours(65 * 65 * 3, 200);
        for (std::uint8_t& v : colours)
            v = static_cast<std::uint8_t>(noise.pick(0, 255, 200));
        b.sub("VCLR", colours);
    }
    if (!noise.chance(15)) {
        Fields vtex; // 0: the default texture; 4: a texture the plugin does not have
        const int kinds = noise.pick(1, 4, 3);
        for (int i = 0; i < 256; ++i)
            vtex.u16(static_cast<std::uint16_t>(noise.pick(0, kinds, 1 + (i + x * 3 + y) % 3)));
        b.sub("VTEX", vtex);
    }
    b.end();
}

void reference(Tes3Builder& b, std::uint32_t index, const std::string& name, float x, float y)
{
    b.u32("FRMR", index).text("NAME", name).sub("DATA", Fields().f32(x).f32(y).f32(0).zeros(12));
}

// The plugin and the meshes it names (relative paths below Meshes\ of the
// target, as modshift looks for them).
std::vector<std::uint8_t> buildPlugin(const Size& s, std::vector<std::string>& meshes)
{
    Noise noise(s.seed);
    Tes3Builder b;
    b.header("bench", "synthetic plugin");
    for (int i = 0; i < 3; ++i)
        b.record("LTEX").text("NAME", id("ltex", i)).i32("INTV", i).text("DATA", id("tx", i) + ".dds").end();
    for (int r = 0; r < s.regions; ++r)
        b.record("REGN").text("NAME", id("region", r)).text("FNAM", id("Region ", r))
            .sub("WEAT", Fields().u8(50).u8(50).zeros(6)).u32("CNAM", static_cast<std::uint32_t>(r * 0x050301)).end();
    for (int i = 0; i < s.statics; ++i) {
        b.record("STAT").text("NAME", id("stat", i)).text("MODL", "b\\" + id("s", i) + ".nif").end();
        meshes.push_back("sub\\b\\" + id("s", i) + ".nif");
    }
    struct Item {
        const char* tag;
        const char* prefix;
        const char* folder;
        const char* data;
        std::size_t size;
    };
    const Item items[] = {{"WEAP", "weap", "Weapons\\", "WPDT", 32}, {"MISC", "misc", "Clutter\\", "MCDT", 12},
                          {"BOOK", "book", "Clutter\\Books\\", "BKDT", 20}};
    for (const Item& it : items)
        for (int i = 0; i < s.itemsPerType; ++i) {
            b.record(it.tag).text("NAME", id(it.prefix, i)).text("MODL", "b\\" + id(it.prefix, i) + ".nif")
                .sub(it.data, Fields().zeros(it.size)).end();
            meshes.push_back(std::string(it.folder) + "sub\\b\\" + id(it.prefix, i) + ".nif");
        }
    for (int i = 0; i < s.itemsPerType; ++i)
        b.record("LIGH").text("NAME", id("ligh", i))
            .sub("LHDT", Fields().f32(1).i32(1).i32(-1).u32(128).u32(0xFFFFFF).u32(0)).end();
    if (s.doorPairs > 0) {
        b.record("DOOR").text("NAME", "door").text("MODL", "b\\door.nif").end();
        meshes.push_back("sub\\b\\door.nif");
    }
    for (int i = 0; i < s.npcs; ++i) {
        b.record("NPC_").text("NAME", id("npc", i)).text("FNAM", id("Person ", i)).text("RNAM", "Nord")
            .text("CNAM", "Smith").sub("NPDT", Fields().u16(5).zeros(10))
            .sub("NPCO", Fields().i32(1).fixed(id("weap", i % std::max(1, s.itemsPerType)), 32)).end();
    }

    std::uint32_t ref = 1;
    for (int c = 0; c < s.interiors; ++c) {
        b.record("CELL").text("NAME", id("Interior ", c)).sub("DATA", Fields().u32(1).i32(0).i32(0));
        for (int r = 0; r < s.interiorRefs; ++r)
            reference(b, ref++, id("stat", r % std::max(1, s.statics)), static_cast<float>(r * 64), 0);
        if (c < s.doorPairs) {
            b.u32("FRMR", ref++).text("NAME", "door").sub("DODT", Fields().zeros(24))
                .sub("DATA", Fields().zeros(24));
        }
        b.end();
        if (s.gridPoints > 0)
            pathGrid(b, noise, 0, 0, s.gridPoints, 2000);
    }

    const int half = s.exteriorSide / 2;
    const int cells = s.exteriorSide * s.exteriorSide;
    const int refsPerCell = cells > 0 ? s.exteriorRefs / cells : 0;
    const int outPerCell = cells > 0 ? s.outOfCellRefs / cells : 0;
    int cellIndex = 0;
    for (int x = -half; x < s.exteriorSide - half; ++x)
        for (int y = -half; y < s.exteriorSide - half; ++y, ++cellIndex) {
            b.record("CELL").text("NAME", "").sub("DATA", Fields().u32(0).i32(x).i32(y));
            if (s.regions > 0)
                b.text("RGNN", id("region", cellIndex % s.regions));
            for (int r = 0; r < refsPerCell; ++r)
                reference(b, ref++, id("stat", (cellIndex + r) % std::max(1, s.statics)),
                          static_cast<float>(x * 8192 + noise.pick(-3000, 11000, (r * 397) % 8192)),
                          static_cast<float>(y * 8192 + noise.pick(-3000, 11000, (r * 211) % 8192)));
            for (int r = 0; r < outPerCell; ++r) // standing one cell to the east
                reference(b, ref++, id("stat", r % std::max(1, s.statics)), static_cast<float>(x * 8192 + 8192 + 100),
                          static_cast<float>(y * 8192 + 100));
            if (cellIndex < s.doorPairs) {
                b.u32("FRMR", ref++).text("NAME", "door").sub("DODT", Fields().zeros(24))
                    .text("DNAM", id("Interior ", cellIndex))
                    .sub("DATA", Fields().f32(static_cast<float>(x * 8192 + 50)).f32(static_cast<float>(y * 8192 + 50)).zeros(16));
            }
            b.end();
            land(b, noise, x, y);
            if (s.exteriorGridPoints > 0)
                pathGrid(b, noise, x, y, s.exteriorGridPoints, 8192);
        }
    return b.bytes();
}

struct Result {
    std::string name;
    std::size_t inputBytes = 0;
    double medianSeconds = 0;
    double medianCpu = 0;
    long peakKiB = 0;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A program folder copy, the plugin and every mesh it names in the target
// folder, below work/<name>; the plugin's size.
std::size_t prepare(const Size& s, const fs::path& bin, const fs::path& dir)
{
    fs::remove_all(dir);
    fs::create_directories(dir / "prog");
    for (const char* f : {"modshift", "meshshift"})
        fs::copy_file(bin / f, dir / "prog" / f);
    if (fs::exists(bin / "faces"))
        fs::copy(bin / "faces", dir / "prog" / "faces", fs::copy_options::recursive);
    {
        std::ofstream ini(dir / "prog" / "meshshift.ini");
        ini << "S=" << (dir / "mw").string() << "\nA=none.bsa\nT=" << (dir / "ob").string() << "\nF=sub\n";
    }
    std::vector<std::string> meshes;
    std::vector<std::uint8_t> plugin = buildPlugin(s, meshes);
    writeFile(dir / "mw" / "bench.esp", plugin);
    for (std::string m : meshes) {
        std::replace(m.begin(), m.end(), '\\', '/');
        touch(dir / "ob" / "meshes" / m);
    }
    return plugin.size();
}

Measure runModshift(const fs::path& dir)
{
    fs::remove(dir / "mw" / "bench_ob.esp");
    return runOnce({(dir / "prog" / "modshift").string(), (dir / "mw" / "bench.esp").string()}, dir);
}

Result benchModshift(const Size& s, const fs::path& bin, const fs::path& work, int runs, bool keep)
{
    const fs::path dir = work / s.name;
    Result r;
    r.name = s.name;
    r.inputBytes = prepare(s, bin, dir);
    std::vector<double> times, cpu;
    bool failed = false;
    for (int i = 0; i < runs; ++i) {
        Measure m = runModshift(dir);
        if (m.status != 0) {
            std::fprintf(stderr, "%s: modshift ended with status %d, console in %s\n", s.name.c_str(), m.status,
                         (dir / "console.txt").c_str());
            failed = true;
        }
        times.push_back(m.seconds);
        cpu.push_back(m.cpuSeconds);
        r.peakKiB = std::max(r.peakKiB, m.peakKiB);
    }
    r.medianSeconds = median(times);
    r.medianCpu = median(cpu);
    if (!failed && !keep)
        fs::remove_all(dir);
    return r;
}

std::string readAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Converts `count` randomized plugins with the built modshift and with
// `reference` (an earlier build) and compares the output files and the
// console text byte for byte. True when all are identical.
bool compareBuilds(const fs::path& bin, const fs::path& reference, const fs::path& work, int count)
{
    bool same = true;
    for (int i = 1; i <= count; ++i) {
        Size s{"identity " + std::to_string(i)};
        s.seed = static_cast<std::uint32_t>(i);
        s.statics = 50;
        s.itemsPerType = 10;
        s.npcs = 20;
        s.interiors = 12;
        s.interiorRefs = 10;
        s.gridPoints = 500;
        s.exteriorSide = 4 + i % 5;
        s.exteriorRefs = s.exteriorSide * s.exteriorSide * 20;
        s.outOfCellRefs = s.exteriorSide * 3;
        s.exteriorGridPoints = 500;
        s.regions = 5;
        s.doorPairs = 6;
        const fs::path dir = work / s.name;
        std::size_t size = prepare(s, bin, dir);
        std::string output[2], console[2];
        int status[2] = {0, 0};
        for (int k = 0; k < 2; ++k) {
            if (k == 1)
                fs::copy_file(reference, dir / "prog" / "modshift", fs::copy_options::overwrite_existing);
            status[k] = runModshift(dir).status;
            output[k] = readAll(dir / "mw" / "bench_ob.esp");
            console[k] = readAll(dir / "console.txt");
        }
        bool ok = status[0] == status[1] && output[0] == output[1] && console[0] == console[1];
        std::printf("%-14s input %8zu bytes  output %9zu bytes  console %7zu bytes  %s\n", s.name.c_str(), size,
                    output[0].size(), console[0].size(), ok ? "identical" : "DIFFERENT");
        std::fflush(stdout);
        if (ok)
            fs::remove_all(dir);
        same = same && ok;
    }
    return same;
}

void printResult(const Result& r)
{
    double mib = static_cast<double>(r.inputBytes) / (1024.0 * 1024.0);
    std::printf("%-22s input %6.1f MiB  wall %6.3f s  cpu %6.3f s  %6.1f MiB/s  peak %6.1f MiB (limit %6.1f)\n",
                r.name.c_str(), mib, r.medianSeconds, r.medianCpu, r.medianSeconds > 0 ? mib / r.medianSeconds : 0.0,
                static_cast<double>(r.peakKiB) / 1024.0, 2 * mib + 100);
    std::fflush(stdout);
}

// One textured shape in a NiNode; `columns` x `rows` quads of a grid.
std::vector<std::uint8_t> gridMesh(int columns, int rows, bool shareVertices)
{
    lw::test::Nif4Builder nif;
    std::uint32_t root = nif.add(lw::test::Nif4Builder::named<lw::test::Nif4Builder::Node>("Scene"));
    std::uint32_t shape = nif.add(lw::test::Nif4Builder::named<lw::test::Nif4Builder::TriShape>("Grid"));
    lw::test::Nif4Builder::TriShapeData d;
    d.uvSets.resize(1);
    auto vertex = [&](float x, float y) {
        d.vertices.push_back({x * 10, y * 10, std::sin(x * 0.3f) * 20});
        d.normals.push_back({0, 0, 1});
        d.uvSets[0].push_back({x / static_cast<float>(columns), y / static_cast<float>(rows)});
        return static_cast<std::uint16_t>(d.vertices.size() - 1);
    };
    if (shareVertices) {
        for (int y = 0; y <= rows; ++y)
            for (int x = 0; x <= columns; ++x)
                vertex(static_cast<float>(x), static_cast<float>(y));
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < columns; ++x) {
                auto a = static_cast<std::uint16_t>(y * (columns + 1) + x);
                auto b = static_cast<std::uint16_t>(a + 1);
                auto c = static_cast<std::uint16_t>(a + columns + 1);
                auto e = static_cast<std::uint16_t>(c + 1);
                d.triangles.push_back({a, b, e});
                d.triangles.push_back({a, e, c});
            }
    } else {
        // Every triangle with vertices of its own, so welding has work to do.
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < columns; ++x) {
                auto fx = static_cast<float>(x), fy = static_cast<float>(y);
                auto a = vertex(fx, fy), b = vertex(fx + 1, fy), e = vertex(fx + 1, fy + 1);
                d.triangles.push_back({a, b, e});
                auto a2 = vertex(fx, fy), e2 = vertex(fx + 1, fy + 1), c = vertex(fx, fy + 1);
                d.triangles.push_back({a2, e2, c});
            }
    }
    d.radius = static_cast<float>(std::max(columns, rows) * 10);
    std::uint32_t data = nif.add(std::move(d));
    nif.node(root).children = {shape};
    nif.triShape(shape).data = data;
    return nif.build();
}

// A band of `triangles` triangles over triangles + 2 positions in a zigzag,
// each triangle sharing an edge with the next, so the strip runs through in
// triangles + 2 points. Every odd triangle names copies of its inner
// positions (vertex numbers from triangles + 2 on), so the shape holds
// 2 * triangles + 1 vertices and welding has to join the copies before the
// strip can follow the edges. (Triangles that met only at corners would need
// three strip points each and overrun the strip's 8192 points.)
std::vector<std::uint8_t> bandMesh(int triangles)
{
    lw::test::Nif4Builder nif;
    std::uint32_t root = nif.add(lw::test::Nif4Builder::named<lw::test::Nif4Builder::Node>("Scene"));
    std::uint32_t shape = nif.add(lw::test::Nif4Builder::named<lw::test::Nif4Builder::TriShape>("Band"));
    lw::test::Nif4Builder::TriShapeData d;
    d.uvSets.resize(1);
    const int positions = triangles + 2;
    auto place = [&](int p) {
        float x = static_cast<float>(p) * 5.0f;
        float y = (p % 2) ? 10.0f : 0.0f;
        d.vertices.push_back({x, y, 0});
        d.normals.push_back({0, 0, 1});
        d.uvSets[0].push_back({x / 100.0f, y / 10.0f});
    };
    for (int p = 0; p < positions; ++p)
        place(p);
    for (int p = 1; p + 2 < positions; ++p) // copies of the inner positions 1 .. positions - 3
        place(p);
    auto corner = [&](int t, int p) {
        bool copy = (t % 2) == 1 && p >= 1 && p + 2 < positions;
        return static_cast<std::uint16_t>(copy ? positions - 1 + p : p);
    };
    for (int t = 0; t < triangles; ++t) {
        if (t % 2 == 0)
            d.triangles.push_back({corner(t, t), corner(t, t + 1), corner(t, t + 2)});
        else
            d.triangles.push_back({corner(t, t + 1), corner(t, t), corner(t, t + 2)});
    }
    d.radius = static_cast<float>(triangles) * 10.0f;
    std::uint32_t data = nif.add(std::move(d));
    nif.node(root).children = {shape};
    nif.triShape(shape).data = data;
    return nif.build();
}

void benchMeshshift(const fs::path& bin, const fs::path& work, int runs, bool keep)
{
    const fs::path dir = work / "meshes";
    fs::remove_all(dir);
    fs::create_directories(dir / "prog");
    for (const char* f : {"meshshift", "bhktemp.nif", "template_n.dds"})
        if (fs::exists(bin / f))
            fs::copy_file(bin / f, dir / "prog" / f);
    {
        std::ofstream ini(dir / "prog" / "meshshift.ini");
        ini << "S=" << (dir / "mw").string() << "\nA=none.bsa\nT=" << (dir / "ob").string() << "\nF=sub\n";
    }
    struct Case {
        const char* name;
        std::vector<std::uint8_t> mesh;
        std::vector<std::string> options;
    };
    // 1,000 triangles: a 25 x 20 grid. The strip limit case: 4,095 triangles
    // with 8,191 vertices, the largest shape the strips accept.
    std::vector<std::uint8_t> largest = bandMesh(4095);
    std::vector<Case> cases = {
        {"static, 1000 triangles", gridMesh(25, 20, true), {"-d", "sub\\static.nif"}},
        {"weapon (layer 5)", gridMesh(4, 10, true), {"-m", "5", "-l", "5", "-s", "4", "-q", "3", "-d", "sub\\weapon.nif"}},
        {"door (layer 2)", gridMesh(6, 12, true), {"-m", "12", "-l", "2", "-s", "6", "-q", "2", "-d", "sub\\door.nif"}},
        {"4095 triangles, 8191 vertices", largest, {"-d", "sub\\large.nif"}},
        {"1000 triangles, unwelded", gridMesh(25, 20, false), {"-d", "sub\\loose.nif"}},
    };
    for (const Case& c : cases) {
        writeFile(dir / "mw" / "Meshes" / "mesh.nif", c.mesh);
        std::vector<double> times, cpu;
        long peak = 0;
        int status = 0;
        for (int i = 0; i < runs; ++i) {
            fs::remove_all(dir / "ob");
            std::vector<std::string> args{(dir / "prog" / "meshshift").string(), "mesh.nif"};
            args.insert(args.end(), c.options.begin(), c.options.end());
            Measure m = runOnce(args, dir);
            if (m.status != 0)
                status = m.status;
            times.push_back(m.seconds);
            cpu.push_back(m.cpuSeconds);
            peak = std::max(peak, m.peakKiB);
        }
        std::printf("meshshift %-30s wall %7.1f ms  cpu %7.1f ms  peak %6.1f MiB  status %d\n", c.name,
                    median(times) * 1000.0, median(cpu) * 1000.0, static_cast<double>(peak) / 1024.0, status);
        std::fflush(stdout);
        if (status != 0) {
            std::ifstream console(dir / "console.txt");
            std::string line;
            while (std::getline(console, line))
                std::printf("    | %s\n", line.c_str());
        }
    }
    if (!keep)
        fs::remove_all(dir);
}

} // namespace

int main(int argc, char** argv)
{
    fs::path bin = LW_BIN_DIR;
    fs::path work = fs::temp_directory_path() / "lw-bench";
    int runs = 3;
    bool quick = false, keep = false;
    std::string only;
    fs::path reference;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--bin" && i + 1 < argc)
            bin = argv[++i];
        else if (a == "--work" && i + 1 < argc)
            work = argv[++i];
        else if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--only" && i + 1 < argc)
            only = argv[++i];
        else if (a == "--quick")
            quick = true;
        else if (a == "--keep")
            keep = true;
        else if (a == "--identity" && i + 1 < argc)
            reference = argv[++i];
        else {
            std::fprintf(stderr, "usage: lw_bench [--bin <program folder>] [--work <folder>] [--runs N] [--quick]\n"
                                 "                [--only full|refs|cells|meshshift] [--keep] [--identity <reference modshift>]\n");
            return 2;
        }
    }
    auto wanted = [&](const char* part) { return only.empty() || only == part; };
    fs::create_directories(work);
    if (!reference.empty())
        return compareBuilds(bin, fs::absolute(reference), work, runs) ? 0 : 1;
    const int k = quick ? 8 : 1; // --quick divides the sizes

    if (wanted("full")) {
        Size full{"full capacity"};
        full.statics = 5000 / k;
        full.itemsPerType = 1000 / k;
        full.npcs = 5000 / k;
        full.interiors = 1999 / k;
        full.interiorRefs = 10;
        full.gridPoints = 500;
        full.exteriorSide = 64 / (quick ? 4 : 1);
        full.exteriorRefs = 100000 / k;
        full.outOfCellRefs = 9999 / k;
        full.exteriorGridPoints = 500;
        full.regions = 30;
        full.doorPairs = 500 / k;
        std::printf("modshift, %d runs each (medians), every mesh present\n", runs);
        printResult(benchModshift(full, bin, work, runs, keep));
    }
    if (wanted("refs")) {
        std::printf("\nseries: references doubling (exterior 16 x 16 cells)\n");
        for (int refs : {12500, 25000, 50000, 100000}) {
            Size s{"refs " + std::to_string(refs / k)};
            s.statics = 100;
            s.exteriorSide = 16;
            s.exteriorRefs = refs / k;
            printResult(benchModshift(s, bin, work, runs, keep));
        }
    }
    if (wanted("cells")) {
        std::printf("\nseries: cells doubling (16 references each)\n");
        for (int side : {16, 23, 32, 45, 64}) {
            if (quick && side > 32)
                break;
            Size s{"exterior " + std::to_string(side) + " x " + std::to_string(side)};
            s.statics = 100;
            s.exteriorSide = side;
            s.exteriorRefs = side * side * 16;
            printResult(benchModshift(s, bin, work, runs, keep));
        }
    }
    if (wanted("meshshift")) {
        std::printf("\n");
        benchMeshshift(bin, work, std::max(runs, 5), keep);
    }
    return 0;
}
