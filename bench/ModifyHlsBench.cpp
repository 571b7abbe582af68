// Times ModifyHLS (1, 0.8, 1.2) on a 1024 x 1024 picture against ImageMagick's
// "convert -modulate 80,120" (brightness 80 %, saturation 120 %) on the same picture saved as BMP.
// Run it through build/wine-run; ImageMagick runs as a Linux program started from here.
// Usage: bench_modifyhls.exe [repetitions]   (the best time of each side counts)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "controls/bitmap/pcDibSection.h"

namespace {

constexpr int kSide = 1024;
const wchar_t kPictureUnix[] = L"/tmp/ta_bench_modifyhls_in.bmp";
const wchar_t kPictureWindows[] = L"Z:\\tmp\\ta_bench_modifyhls_in.bmp";
const wchar_t kResultUnix[] = L"/tmp/ta_bench_modifyhls_out.bmp";
const wchar_t kResultWindows[] = L"Z:\\tmp\\ta_bench_modifyhls_out.bmp";
const wchar_t kCopyUnix[] = L"/tmp/ta_bench_modifyhls_copy.bmp";
const wchar_t kCopyWindows[] = L"Z:\\tmp\\ta_bench_modifyhls_copy.bmp";
const wchar_t kScriptUnix[] = L"/tmp/ta_bench_modifyhls_convert.sh";
const wchar_t kScriptWindows[] = L"Z:\\tmp\\ta_bench_modifyhls_convert.sh";
const wchar_t kTimingUnix[] = L"/tmp/ta_bench_modifyhls_timing.txt";
const wchar_t kTimingWindows[] = L"Z:\\tmp\\ta_bench_modifyhls_timing.txt";

double Seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A picture with every hue, luminance and saturation in it: smooth gradients plus noise, opaque.
void Paint(ta::pcDibSection& dib) {
    uint32_t state = 12345;
    for (int y = 0; y < kSide; ++y) {
        uint8_t* row = dib.DIBSectionBitsPtr() + y * dib.BytesPerScanLine();
        for (int x = 0; x < kSide; ++x) {
            state = state * 1664525u + 1013904223u;
            const int noise = static_cast<int>(state >> 27);  // 0..31
            row[4 * x + 0] = static_cast<uint8_t>((x / 4 + noise) & 255);
            row[4 * x + 1] = static_cast<uint8_t>((y / 4 + 2 * noise) & 255);
            row[4 * x + 2] = static_cast<uint8_t>(((x + y) / 8 + 3 * noise) & 255);
            row[4 * x + 3] = 255;
        }
    }
}

// Runs ImageMagick's convert with the arguments and answers the seconds it took, or a negative
// value when it failed. Wine neither waits for a Linux program nor passes its exit code on, so a
// small shell script times convert on the Linux side and leaves "exit-code nanoseconds" in a file.
double RunConvert(const std::wstring& arguments) {
    const char script[] =
        "out=$1; shift\n"
        "start=$(date +%s%N)\n"
        "/usr/bin/convert \"$@\"\n"
        "rc=$?\n"
        "end=$(date +%s%N)\n"
        "echo \"$rc $((end - start))\" > \"$out.part\" && mv \"$out.part\" \"$out\"\n";
    if (FILE* f = _wfopen(kScriptWindows, L"wb")) {
        std::fputs(script, f);
        std::fclose(f);
    }
    ::DeleteFileW(kTimingWindows);
    std::wstring commandLine = std::wstring(L"Z:\\bin\\sh ") + kScriptUnix + L" " + kTimingUnix + L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        std::printf("cannot start %ls: error %lu\n", commandLine.c_str(), ::GetLastError());
        return -1;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    for (int waited = 0; waited < 120000; waited += 5) {
        if (FILE* f = _wfopen(kTimingWindows, L"rb")) {
            int rc = -1;
            long long nanoseconds = -1;
            const int read = std::fscanf(f, "%d %lld", &rc, &nanoseconds);
            std::fclose(f);
            if (read != 2 || rc != 0) {
                std::printf("convert %ls failed (exit code %d)\n", arguments.c_str(), rc);
                return -1;
            }
            return static_cast<double>(nanoseconds) / 1e9;
        }
        ::Sleep(5);
    }
    std::puts("convert did not finish within two minutes");
    return -1;
}

// The largest difference of any colour byte between our result and ImageMagick's.
int LargestDifference(const ta::pcDibSection& ours) {
    HBITMAP theirs = static_cast<HBITMAP>(
        ::LoadImageW(nullptr, kResultWindows, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (!theirs) return -1;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kSide, kSide, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<uint8_t> pixels(4u * kSide * kSide);
    HDC screen = ::GetDC(nullptr);
    const int rows = ::GetDIBits(screen, theirs, 0, kSide, pixels.data(), &info, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    ::DeleteObject(theirs);
    if (rows != kSide) return -1;
    int largest = 0;
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (i % 4 == 3) continue;
        largest = std::max(largest, std::abs(pixels[i] - ours.DIBSectionBitsPtr()[i]));
    }
    return largest;
}

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    ta::pcDibSection dib;
    if (!dib.Create(kSide, kSide)) {
        std::puts("cannot create the picture");
        return 1;
    }
    Paint(dib);
    const size_t bytes = static_cast<size_t>(dib.BytesPerScanLine()) * kSide;
    const std::vector<uint8_t> original(dib.DIBSectionBitsPtr(), dib.DIBSectionBitsPtr() + bytes);
    if (!dib.SavePicture(kPictureWindows)) {
        std::puts("cannot save the picture");
        return 1;
    }

    double ours = 1e9, whole = 1e9, readWrite = 1e9;
    for (int i = 0; i < repetitions; ++i) {
        std::memcpy(dib.DIBSectionBitsPtr(), original.data(), bytes);
        const double start = Seconds();
        dib.ModifyHLS(1, 0.8, 1.2);
        ours = std::min(ours, Seconds() - start);

        const std::wstring in = std::wstring(kPictureUnix) + L" ";
        const double modulate = RunConvert(in + L"-modulate 80,120 " + kResultUnix);
        const double copy = RunConvert(in + kCopyUnix);
        if (modulate < 0 || copy < 0) {
            std::puts("ImageMagick's convert did not run (is imagemagick installed?)");
            return 1;
        }
        whole = std::min(whole, modulate);
        readWrite = std::min(readWrite, copy);
    }
    const double imageMagickModulateOnly = std::max(whole - readWrite, 1e-6);

    std::printf("picture: %d x %d, best of %d\n", kSide, kSide, repetitions);
    std::printf("ModifyHLS (1, 0.8, 1.2):                   %8.1f ms\n", ours * 1000);
    std::printf("convert -modulate 80,120 (whole command):  %8.1f ms\n", whole * 1000);
    std::printf("  of which reading and writing the BMP:    %8.1f ms\n", readWrite * 1000);
    std::printf("  modulate alone (the difference):         %8.1f ms\n", imageMagickModulateOnly * 1000);
    std::printf("ratio ours / ImageMagick's whole command:  %8.2f\n", ours / whole);
    std::printf("ratio ours / ImageMagick's modulate alone: %8.2f\n", ours / imageMagickModulateOnly);
    // ImageMagick lets saturation exceed 1 where ModifyHLS limits it, so strong colours differ.
    std::printf("largest colour byte difference between the two results: %d\n", LargestDifference(dib));
    ::DeleteFileW(kPictureWindows);
    ::DeleteFileW(kResultWindows);
    for (const wchar_t* path : {kCopyWindows, kScriptWindows, kTimingWindows}) ::DeleteFileW(path);
    return 0;
}
