// The 3-D pass of the view, in OpenGL 3.3 core: background gradient, ground grid and axes,
// flat-shaded bodies with Blinn highlights and crease lines, the translucent origin planes
// with their outlines, and the tinted highlight layers. The 2-D overlay is a raster layer
// over it, blended by the toolkit.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QOpenGLExtraFunctions>

#include "viewport/camera.h"
#include "viewport/picking.h"
#include "viewport/scene.h"

class QOpenGLShaderProgram;

namespace ivo {

// One tinted triangle set of the frame, borrowed from its owner until the next setHighlights.
struct HighlightRef {
    const std::vector<Tri>* tris = nullptr;
    Rgba color;
};

class Renderer : protected QOpenGLExtraFunctions {
public:
    Renderer();
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // Compiles the shaders of an empty scene and builds the fixed geometry; the widget's
    // context must be current. The shaders of bodies are compiled when first drawn: on a
    // software renderer each program costs tens of milliseconds of start-up.
    // False when the context cannot run the shaders (nothing is drawn then but the
    // background colour).
    bool initialize();
    // Frees every GL object; the context must be current.
    void release();
    // The image is multisampled unless the renderer rasterises on the processor (lines fade
    // at their edges either way); IVORANE_MULTISAMPLE=1 or 0 in the environment decides
    // instead.

    // Replaces the body geometry: the triangles of each mesh's body, from `tris`.
    void setBodies(const std::map<Id, std::vector<Tri>>& tris, const std::vector<BodyMesh>& meshes);
    // Replaces the highlight layers, drawn over bodies and planes in this order.
    void setHighlights(const std::vector<HighlightRef>& layers);
    // Replaces the tinted planar faces: each body's shader tints the fragments lying on them,
    // so a face costs nothing like drawing its triangles again. At most maxFaceTints per body
    // (later ones win where they overlap); the caller draws any more as layers.
    static constexpr int maxFaceTints = 16;
    void setFaceTints(std::vector<FaceHighlight> faces);

    struct Frame {
        Camera camera;
        Box3 bodiesBox;  // of the shown bodies, for the depth range
        bool planesShown = false;
        std::string hoverPlane;
        int pixelWidth = 1, pixelHeight = 1;
    };
    // Draws the 3-D image (multisampled on a graphics card), keeps a copy of it so that
    // frames where only the overlay changes need not draw the scene again, and leaves it in
    // framebuffer `fbo`, which must have a depth buffer.
    void render(const Frame& frame, GLuint fbo);
    // Copies the kept image into `fbo`; false when none of this size is kept.
    bool drawKeptImage(GLuint fbo, int width, int height);
    // Leaves the state QPainter and the widget expect: no program, vertex array or texture
    // bound, depth test, culling and blending off, `fbo` bound.
    void finish(GLuint fbo);

private:
    struct Mesh;
    struct Gpu;
    void drawBodies(const Frame& frame, const std::array<float, 16>& mvp);
    void drawPlanes(const Frame& frame, const std::array<float, 16>& mvp);
    void drawHighlights(const Frame& frame, const std::array<float, 16>& mvp);
    // The background gradient into framebuffer `target`, which is bound afterwards.
    void drawBackground(int width, int height, GLuint target);
    // The line program with the frame's uniforms, blending on; lines come forward by `lift`.
    QOpenGLShaderProgram& bindLines(const Frame& frame, const std::array<float, 16>& mvp,
                                    float lift);
    // The program of planes and highlights, compiled on first use; nullptr when it cannot be.
    QOpenGLShaderProgram* bindFlat(const Frame& frame, const std::array<float, 16>& mvp);
    void deleteMesh(Mesh& mesh);
    // A vertex array over `data`: positions (3 floats), each followed by a normal when asked.
    void upload(GLuint& vao, GLuint& vbo, const std::vector<float>& data, bool normals);
    // A vertex array over line quads made by the line shader's segment layout.
    void uploadLines(GLuint& vao, GLuint& vbo, const std::vector<float>& data);
    // Points the mesh's vertex array at `flags` (one per triangle), or at none.
    void setOverhangs(Mesh& mesh, std::shared_ptr<const std::vector<std::uint8_t>> flags);
    // The image targets of this size: the kept copy, and on a graphics card the multisampled
    // framebuffer the scene is drawn into.
    void sizeTargets(int width, int height);

    std::unique_ptr<Gpu> gpu_;
};

}  // namespace ivo
