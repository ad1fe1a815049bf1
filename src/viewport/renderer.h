// The 3-D pass of the view, in OpenGL 3.3 core: background gradient, ground grid and axes,
// flat-shaded bodies with Blinn highlights and crease lines, and the translucent origin
// planes with their outlines. The 2-D overlay is painted over it by the widget.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QOpenGLExtraFunctions>

#include "viewport/camera.h"
#include "viewport/scene.h"

class QOpenGLShaderProgram;

namespace ivo {

class Renderer : protected QOpenGLExtraFunctions {
public:
    Renderer();
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // Compiles the shaders and builds the fixed geometry; the widget's context must be
    // current. False when the context cannot run the shaders (nothing is drawn then but the
    // background colour).
    bool initialize();
    // Frees every GL object; the context must be current.
    void release();

    // Replaces the body geometry: the triangles of each mesh's body, from `tris`.
    void setBodies(const std::map<Id, std::vector<Tri>>& tris, const std::vector<BodyMesh>& meshes);

    struct Frame {
        Camera camera;
        Box3 bodiesBox;  // of the shown bodies, for the depth range
        bool planesShown = false;
        std::string hoverPlane;
        int pixelWidth = 1, pixelHeight = 1;
    };
    // Draws into the currently bound framebuffer, then leaves the state QPainter expects
    // (no program or vertex array bound, depth test and culling off).
    void render(const Frame& frame);

    // Keeps a copy of the 3-D image just drawn into framebuffer `fbo`, so that frames where
    // only the overlay changes need not draw the scene again.
    void keepImage(GLuint fbo, int width, int height);
    // Draws the kept image into the bound framebuffer; false when none of this size is kept.
    bool drawKeptImage(int width, int height);

private:
    struct Mesh;
    struct Gpu;
    void drawBodies(const Frame& frame, const std::array<float, 16>& mvp);
    void drawPlanes(const Frame& frame, const std::array<float, 16>& mvp);
    void deleteMesh(Mesh& mesh);
    // A vertex array over `data`: positions (3 floats), each followed by a normal when asked.
    void upload(GLuint& vao, GLuint& vbo, const std::vector<float>& data, bool normals);

    std::unique_ptr<Gpu> gpu_;
};

}  // namespace ivo
