// What the renderer's files share: its GL objects and the sources of its shaders.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include <QOpenGLShaderProgram>

#include "viewport/renderer.h"

namespace ivo {

namespace shaders {
extern const char* const litVertex;
extern const char* const litFragment;
extern const char* const flatVertex;
extern const char* const lineVertex;
extern const char* const lineFragment;
extern const char* const flatFragment;
extern const char* const backgroundVertex;
extern const char* const backgroundFragment;
}  // namespace shaders

// Compiles and links a program; nullptr when the context cannot.
std::unique_ptr<QOpenGLShaderProgram> compileProgram(const char* vertex, const char* fragment);

inline constexpr int kSamples = 4;  // of the multisampled image on graphics cards

struct Renderer::Mesh {
    Id id = 0;
    GLuint triVao = 0, triVbo = 0, edgeVao = 0, edgeVbo = 0;
    GLsizei triVertices = 0, edgeVertices = 0;
    Rgba color;
    std::shared_ptr<const Solid> solid;
    // Overhang flags as one byte per vertex, read by the triangles' vertex array.
    GLuint overhangVbo = 0;
    std::shared_ptr<const std::vector<std::uint8_t>> overhang;
};

// A program compiled on first use; a failed compile is not tried again.
struct LazyProgram {
    const char* vertex;
    const char* fragment;
    std::unique_ptr<QOpenGLShaderProgram> program;
    bool tried = false;
    QOpenGLShaderProgram* get() {
        if (!tried) {
            tried = true;
            program = compileProgram(vertex, fragment);
        }
        return program.get();
    }
};

struct Renderer::Gpu {
    std::unique_ptr<QOpenGLShaderProgram> line;
    LazyProgram flat{shaders::flatVertex, shaders::flatFragment, nullptr, false};
    LazyProgram lit{shaders::litVertex, shaders::litFragment, nullptr, false};
    LazyProgram background{shaders::backgroundVertex, shaders::backgroundFragment, nullptr, false};
    bool software = false;
    GLuint keptFbo = 0, keptTexture = 0;
    GLuint msFbo = 0, msColor = 0, msDepth = 0;  // graphics cards only
    int keptWidth = 0, keptHeight = 0;
    GLuint gradientFbo = 0, gradientTexture = 0;  // software renderers only
    int gradientWidth = 0, gradientHeight = 0;
    GLuint emptyVao = 0, gridVao = 0, gridVbo = 0, planeVao = 0, planeVbo = 0;
    GLuint outlineVao = 0, outlineVbo = 0;
    GLuint highlightVao = 0, highlightVbo = 0;
    std::vector<std::pair<Rgba, GLsizei>> highlightRanges;  // colour, vertex count, in order
    std::vector<FaceHighlight> faceTints;
    struct Range {
        Rgba color;
        GLint first;
        GLsizei count;
    };
    std::vector<Range> gridRanges;
    std::vector<Mesh> meshes;
    bool ok = false;
};

}  // namespace ivo
