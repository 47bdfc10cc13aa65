#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

#include "gl/gl_ext_loader.h"
#include "tests/support/gl_test_support.h"

namespace kubelmar::test {
namespace {

const char* kAll =
    "GL_ARB_depth_texture GL_ARB_shadow GL_ARB_vertex_buffer_object GL_ARB_pixel_buffer_object "
    "GL_EXT_framebuffer_object GL_ARB_shader_objects GL_ARB_fragment_shader GL_ARB_vertex_shader "
    "GL_ARB_shading_language_100 GL_ARB_multitexture";

void* fakeProc(const char* name, void* user) {
    const char* missing = static_cast<const char*>(user);
    static int dummy;
    return (missing && std::strcmp(name, missing) == 0) ? nullptr : &dummy;
}

struct LoaderRun {
    std::ostringstream out;
    GL_Ext_Loader loader;
    bool ok = false;
    LoaderRun(std::string list, const char* missingProc = nullptr) {
        loader.out = &out;
        loader.extensionList = [list = std::move(list)]() mutable { return list.c_str(); };
        ok = loader.load_GLextension(GLProcResolver{&fakeProc, const_cast<char*>(missingProc)});
    }
};

std::string without(const std::string& name) {
    std::string list = kAll;
    const auto at = list.find(name + " ");
    list.erase(at, name.size() + 1);
    return list;
}

TEST(ExtensionWalk, MatchesWholeTokensOnly) {
    EXPECT_TRUE(extensionListContains("GL_A GL_B", "GL_B"));        // last name, no trailing blank
    EXPECT_TRUE(extensionListContains("GL_A GL_B ", "GL_B"));
    EXPECT_FALSE(extensionListContains("GL_ARB_shadow_ambient", "GL_ARB_shadow"));  // prefix only
    EXPECT_FALSE(extensionListContains("GL_X_GL_ARB_shadow", "GL_ARB_shadow"));
    EXPECT_FALSE(extensionListContains("", "GL_A"));
    EXPECT_FALSE(extensionListContains("GL_ARB_shado", "GL_ARB_shadow"));
}

TEST(ExtensionLoader, MissingPixelBufferObjectPrintsBothGroupLines) {
    // Needs a context only for the texture-unit query, which this run never reaches.
    LoaderRun run(without("GL_ARB_pixel_buffer_object"));
    EXPECT_FALSE(run.ok);
    const std::string expected =
        "EXT: Using: GL_ARB_depth_texture\n"
        "EXT: Using: GL_ARB_shadow\n"
        "EXT: Using: GL_ARB_vertex_buffer_object\n"
        "ERROR: Extension not supported: GL_ARB_pixel_buffer_object\n"
        "ERROR: GL_ARB_vertex_buffer_object extension not available... [load_GLextension(), GL_Ext_Loader]\n"
        "ERROR: GL_ARB_pixel_buffer_object extension not available... [load_GLextension(), GL_Ext_Loader]\n";
    EXPECT_EQ(run.out.str(), expected);
}

TEST(ExtensionLoader, MissingShaderPartStopsTheGroupAndNamesTheLanguage) {
    LoaderRun run(without("GL_ARB_fragment_shader"));
    EXPECT_FALSE(run.ok);
    const std::string out = run.out.str();
    EXPECT_NE(out.find("EXT: Using: GL_ARB_shader_objects\nERROR: Extension not supported: GL_ARB_fragment_shader\n"
                       "ERROR: GL_ARB_shading_language_100 extension not available..."),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("GL_ARB_vertex_shader"), std::string::npos);
    EXPECT_EQ(run.loader.shaderObjectsSupported, 0);
    EXPECT_EQ(run.loader.framebufferObjectSupported, 1);
}

TEST(ExtensionLoader, NullEntryPointIsReportedAfterEveryLaterGroup) {
    KUBELMAR_REQUIRE_GL();  // the last group queries the texture units
    LoaderRun run(kAll, "glBindFramebufferEXT");
    EXPECT_TRUE(run.ok);
    EXPECT_EQ(run.loader.glBindFramebufferEXT, nullptr);
    const std::string out = run.out.str();
    std::size_t count = 0;
    for (std::size_t at = out.find("ERROR: from GETGLPROC..."); at != std::string::npos;
         at = out.find("ERROR: from GETGLPROC...", at + 1))
        ++count;
    EXPECT_EQ(count, 3u) << out;
    EXPECT_NE(out.find(" Texture Mapping Units\nERROR: from GETGLPROC"), std::string::npos);
}

TEST(ExtensionLoader, RealDriverGivesTenUsingLines) {
    KUBELMAR_REQUIRE_GL();
    std::ostringstream out;
    GL_Ext_Loader loader;
    loader.out = &out;
    ASSERT_TRUE(loader.load_GLextension(glContext()->resolver())) << out.str();
    std::istringstream lines(out.str());
    std::string line;
    int using_ = 0;
    while (std::getline(lines, line)) using_ += line.rfind("EXT: Using: ", 0) == 0;
    EXPECT_EQ(using_, 10);
    EXPECT_EQ(out.str().find("ERROR"), std::string::npos);
    EXPECT_NE(loader.glGenFramebuffersEXT, nullptr);
}

}  // namespace
}  // namespace kubelmar::test
