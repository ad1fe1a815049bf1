// OpenGL drawing of the scene. Lighting runs in linear colour space and is encoded back to
// sRGB on output, so shaded sides keep the palette's hue instead of sinking into grey.
#include "viewport/renderer.h"

#include "viewport/renderer_gpu.h"

#include <QOpenGLShaderProgram>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace ivo {
namespace {

constexpr float shininess = 24;

float toLinear(double c) {
    return static_cast<float>(std::pow(c, 2.2));
}

void pushPoint(std::vector<float>& out, V3 p) {
    out.push_back(static_cast<float>(p.x));
    out.push_back(static_cast<float>(p.y));
    out.push_back(static_cast<float>(p.z));
}

// The two triangles of segment ab for the line shader: corners a−, a+, b+ and a−, b+, b−.
void pushSegment(std::vector<float>& out, V3 a, V3 b) {
    struct Corner {
        bool atA;
        float side, edge;
    };
    // Seen from b the segment runs the other way, so b's corners move by the opposite sign.
    const Corner quad[4] = {{true, -1, -1}, {true, 1, 1}, {false, -1, 1}, {false, 1, -1}};
    for (int i : {0, 1, 2, 0, 2, 3}) {
        const Corner& c = quad[i];
        pushPoint(out, c.atA ? a : b);
        pushPoint(out, c.atA ? b : a);
        out.push_back(c.side);
        out.push_back(c.edge);
    }
}

constexpr int kLineFloats = 8;  // per vertex of pushSegment

}  // namespace

Renderer::Renderer() : gpu_(std::make_unique<Gpu>()) {}
Renderer::~Renderer() = default;

bool Renderer::initialize() {
    initializeOpenGLFunctions();
    const auto* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    gpu_->software = name && isSoftwareRenderer(name);
    // IVORANE_MULTISAMPLE=1 asks for the multisampled image whatever the renderer, 0 never.
    bool set = false;
    const int multisample = qEnvironmentVariableIntValue("IVORANE_MULTISAMPLE", &set);
    if (set) gpu_->software = multisample == 0;
    gpu_->line = compileProgram(shaders::lineVertex, shaders::lineFragment);
    gpu_->ok = gpu_->line != nullptr;
    if (!gpu_->ok) return false;

    glGenVertexArrays(1, &gpu_->emptyVao);

    std::vector<float> grid;
    for (const LineSet& set : gridAndAxes()) {
        const auto first = static_cast<GLint>(grid.size() / kLineFloats);
        for (const Segment& s : set.segments)
            pushSegment(grid, s.a, s.b);
        gpu_->gridRanges.push_back(
            {set.color, first, static_cast<GLsizei>(set.segments.size() * 6)});
    }
    std::vector<float> planes, outlines;
    for (const OriginPlane& plane : originPlanes())
        for (size_t i = 0; i < plane.corners.size(); ++i) {
            pushPoint(planes, plane.corners[i]);
            pushSegment(outlines, plane.corners[i], plane.corners[(i + 1) % plane.corners.size()]);
        }

    uploadLines(gpu_->gridVao, gpu_->gridVbo, grid);
    upload(gpu_->planeVao, gpu_->planeVbo, planes, false);
    uploadLines(gpu_->outlineVao, gpu_->outlineVbo, outlines);
    return true;
}

void Renderer::upload(GLuint& vao, GLuint& vbo, const std::vector<float>& data, bool normals) {
    glGenVertexArrays(1, &vao);
    glGenBuffers(1, &vbo);
    glBindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.size() * sizeof(float)), data.data(),
                 GL_STATIC_DRAW);
    const GLsizei stride = (normals ? 6 : 3) * sizeof(float);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
    if (normals) {
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(3 * sizeof(float)));
    }
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void Renderer::setOverhangs(Mesh& m, std::shared_ptr<const std::vector<std::uint8_t>> flags) {
    glBindVertexArray(m.triVao);
    glDeleteBuffers(1, &m.overhangVbo);
    m.overhangVbo = 0;
    m.overhang = flags;
    // Without flags the attribute is off and reads as the constant 0.
    if (!flags || flags->size() * 3 != size_t(m.triVertices)) {
        glDisableVertexAttribArray(2);
        glVertexAttrib1f(2, 0);
        glBindVertexArray(0);
        return;
    }
    std::vector<std::uint8_t> perVertex;
    perVertex.reserve(flags->size() * 3);
    for (std::uint8_t f : *flags)
        perVertex.insert(perVertex.end(), 3, f ? 255 : 0);
    glGenBuffers(1, &m.overhangVbo);
    glBindBuffer(GL_ARRAY_BUFFER, m.overhangVbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(perVertex.size()), perVertex.data(),
                 GL_STATIC_DRAW);
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 1, GL_UNSIGNED_BYTE, GL_TRUE, 0, nullptr);
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void Renderer::uploadLines(GLuint& vao, GLuint& vbo, const std::vector<float>& data) {
    glGenVertexArrays(1, &vao);
    glGenBuffers(1, &vbo);
    glBindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.size() * sizeof(float)), data.data(),
                 GL_STATIC_DRAW);
    const GLsizei stride = kLineFloats * sizeof(float);
    const int sizes[] = {3, 3, 2};
    size_t offset = 0;
    for (GLuint i = 0; i < 3; ++i) {
        glEnableVertexAttribArray(i);
        glVertexAttribPointer(i, sizes[i], GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(offset * sizeof(float)));
        offset += static_cast<size_t>(sizes[i]);
    }
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

QOpenGLShaderProgram& Renderer::bindLines(const Frame& frame, const std::array<float, 16>& mvp,
                                          float lift) {
    QOpenGLShaderProgram& line = *gpu_->line;
    line.bind();
    glUniformMatrix4fv(line.uniformLocation("mvp"), 1, GL_FALSE, mvp.data());
    const V3 eye = frame.camera.position();
    line.setUniformValue("eyePos", float(eye.x), float(eye.y), float(eye.z));
    line.setUniformValue("lift", lift);
    line.setUniformValue("viewport", float(frame.pixelWidth), float(frame.pixelHeight));
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    return line;
}

void Renderer::deleteMesh(Mesh& m) {
    glDeleteVertexArrays(1, &m.triVao);
    glDeleteVertexArrays(1, &m.edgeVao);
    glDeleteBuffers(1, &m.triVbo);
    glDeleteBuffers(1, &m.edgeVbo);
    glDeleteBuffers(1, &m.overhangVbo);
    m = Mesh{};
}

void Renderer::release() {
    if (!gpu_->ok) {
        gpu_ = std::make_unique<Gpu>();
        return;
    }
    for (Mesh& m : gpu_->meshes)
        deleteMesh(m);
    gpu_->meshes.clear();
    glDeleteFramebuffers(1, &gpu_->keptFbo);
    glDeleteTextures(1, &gpu_->keptTexture);
    glDeleteFramebuffers(1, &gpu_->msFbo);
    glDeleteRenderbuffers(1, &gpu_->msColor);
    glDeleteRenderbuffers(1, &gpu_->msDepth);
    glDeleteFramebuffers(1, &gpu_->gradientFbo);
    glDeleteTextures(1, &gpu_->gradientTexture);
    glDeleteVertexArrays(1, &gpu_->emptyVao);
    glDeleteVertexArrays(1, &gpu_->highlightVao);
    glDeleteBuffers(1, &gpu_->highlightVbo);
    glDeleteVertexArrays(1, &gpu_->gridVao);
    glDeleteVertexArrays(1, &gpu_->planeVao);
    glDeleteVertexArrays(1, &gpu_->outlineVao);
    glDeleteBuffers(1, &gpu_->outlineVbo);
    glDeleteBuffers(1, &gpu_->gridVbo);
    glDeleteBuffers(1, &gpu_->planeVbo);
    gpu_ = std::make_unique<Gpu>();
}

void Renderer::setBodies(const std::map<Id, std::vector<Tri>>& tris,
                         const std::vector<BodyMesh>& meshes) {
    if (!gpu_->ok) return;
    std::vector<Mesh> old = std::move(gpu_->meshes);
    gpu_->meshes.clear();
    std::vector<float> data;
    for (const BodyMesh& body : meshes) {
        Mesh m;
        m.id = body.id;
        m.color = body.color;
        m.solid = body.solid;
        // The same solid has the same triangles: its buffer is kept rather than sent again.
        const auto same = std::find_if(old.begin(), old.end(), [&](const Mesh& o) {
            return o.solid && o.solid == body.solid && o.triVao;
        });
        if (same != old.end()) {
            std::swap(m.triVao, same->triVao);
            std::swap(m.triVbo, same->triVbo);
            m.triVertices = same->triVertices;
            if (same->overhang == body.overhang) {
                std::swap(m.overhangVbo, same->overhangVbo);
                m.overhang = same->overhang;
            }
        } else {
            data.clear();
            if (const auto it = tris.find(body.id); it != tris.end()) {
                data.reserve(it->second.size() * 18);
                for (const Tri& t : it->second)
                    for (V3 p : {t.a, t.b, t.c}) {
                        pushPoint(data, p);
                        pushPoint(data, t.n);
                    }
            }
            m.triVertices = static_cast<GLsizei>(data.size() / 6);
            upload(m.triVao, m.triVbo, data, true);
        }
        if (m.overhang != body.overhang || !body.overhang) setOverhangs(m, body.overhang);

        data.clear();
        data.reserve(body.edges.size() * 6 * kLineFloats);
        for (const Segment& s : body.edges)
            pushSegment(data, s.a, s.b);
        m.edgeVertices = static_cast<GLsizei>(data.size() / kLineFloats);
        uploadLines(m.edgeVao, m.edgeVbo, data);
        gpu_->meshes.push_back(std::move(m));
    }
    for (Mesh& m : old)
        deleteMesh(m);
}

namespace {

void setColor(QOpenGLShaderProgram& p, const char* name, Rgba c) {
    p.setUniformValue(name, float(c.r), float(c.g), float(c.b), float(c.a));
}

}  // namespace

void Renderer::setHighlights(const std::vector<HighlightRef>& layers) {
    if (!gpu_->ok) return;
    Gpu& g = *gpu_;
    g.highlightRanges.clear();
    std::vector<float> data;
    for (const HighlightRef& layer : layers) {
        if (!layer.tris || layer.tris->empty()) continue;
        for (const Tri& t : *layer.tris)
            for (V3 p : {t.a, t.b, t.c})
                pushPoint(data, p);
        g.highlightRanges.emplace_back(layer.color, static_cast<GLsizei>(layer.tris->size() * 3));
    }
    glDeleteVertexArrays(1, &g.highlightVao);
    glDeleteBuffers(1, &g.highlightVbo);
    g.highlightVao = g.highlightVbo = 0;
    if (!data.empty()) upload(g.highlightVao, g.highlightVbo, data, false);
}

void Renderer::setFaceTints(std::vector<FaceHighlight> faces) {
    gpu_->faceTints = std::move(faces);
}

void Renderer::render(const Frame& frame, GLuint fbo) {
    if (gpu_->ok) {
        sizeTargets(frame.pixelWidth, frame.pixelHeight);
        glBindFramebuffer(GL_FRAMEBUFFER, gpu_->software ? fbo : gpu_->msFbo);
    }
    glViewport(0, 0, frame.pixelWidth, frame.pixelHeight);
    const Rgba bg = colors::viewBackground;
    glClearColor(float(bg.r), float(bg.g), float(bg.b), float(bg.a));
    glDepthMask(GL_TRUE);
    glClearDepthf(1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!gpu_->ok) return;
    Gpu& g = *gpu_;

    drawBackground(frame.pixelWidth, frame.pixelHeight, g.software ? fbo : g.msFbo);

    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    Box3 content = frame.bodiesBox;
    if (frame.planesShown)
        for (const OriginPlane& plane : originPlanes())
            for (V3 c : plane.corners)
                content.add(c);
    const auto [nearZ, farZ] = frame.camera.depthRange(content, sceneBox(frame.bodiesBox));
    const std::array<float, 16> mvp =
        (frame.camera.projection(nearZ, farZ) * frame.camera.view()).toFloat();

    // Grid and axes first: the axes are drawn after the grid at the same depth and win.
    QOpenGLShaderProgram& line = bindLines(frame, mvp, 0);
    glBindVertexArray(g.gridVao);
    for (const Gpu::Range& r : g.gridRanges) {
        setColor(line, "color", r.color);
        glDrawArrays(GL_TRIANGLES, r.first, r.count);
    }
    glDisable(GL_BLEND);

    drawBodies(frame, mvp);
    drawPlanes(frame, mvp);
    drawHighlights(frame, mvp);

    // The kept copy; on a graphics card this also resolves the multisampled image.
    const GLuint drawn = g.software ? fbo : g.msFbo;
    const int w = frame.pixelWidth, h = frame.pixelHeight;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, drawn);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, g.keptFbo);
    glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    if (!g.software) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, g.keptFbo);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo);
        glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    }
    finish(fbo);
}

QOpenGLShaderProgram* Renderer::bindFlat(const Frame& frame, const std::array<float, 16>& mvp) {
    QOpenGLShaderProgram* flat = gpu_->flat.get();
    if (!flat) return nullptr;
    flat->bind();
    glUniformMatrix4fv(flat->uniformLocation("mvp"), 1, GL_FALSE, mvp.data());
    const V3 eye = frame.camera.position();
    flat->setUniformValue("eyePos", float(eye.x), float(eye.y), float(eye.z));
    flat->setUniformValue("lift", 0.0f);
    return flat;
}

void Renderer::drawHighlights(const Frame& frame, const std::array<float, 16>& mvp) {
    Gpu& g = *gpu_;
    if (g.highlightRanges.empty()) return;
    QOpenGLShaderProgram* program = bindFlat(frame, mvp);
    if (!program) return;
    QOpenGLShaderProgram& flat = *program;
    glBindVertexArray(g.highlightVao);
    // Over the face they lie on (which steps back in depth), both sides, blended, and not
    // hiding one another.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(-1, -1);
    GLint first = 0;
    for (const auto& [color, count] : g.highlightRanges) {
        setColor(flat, "color", color);
        glDrawArrays(GL_TRIANGLES, first, count);
        first += count;
    }
    glDisable(GL_POLYGON_OFFSET_FILL);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
}

void Renderer::drawBodies(const Frame& frame, const std::array<float, 16>& mvp) {
    if (gpu_->meshes.empty()) return;
    const V3 eye = frame.camera.position(), head = frame.camera.eyeDir();
    if (QOpenGLShaderProgram* program = gpu_->lit.get()) {
        QOpenGLShaderProgram& lit = *program;
        lit.bind();
        glUniformMatrix4fv(lit.uniformLocation("mvp"), 1, GL_FALSE, mvp.data());
        const V3 fixed = lights::fixedDirection();
        lit.setUniformValue("eyePos", float(eye.x), float(eye.y), float(eye.z));
        lit.setUniformValue("headDir", float(head.x), float(head.y), float(head.z));
        lit.setUniformValue("fixedDir", float(fixed.x), float(fixed.y), float(fixed.z));
        lit.setUniformValue("headI", float(lights::head));
        lit.setUniformValue("ambientI", float(lights::ambient));
        lit.setUniformValue("fixedI", float(lights::fixed));
        lit.setUniformValue("specular", toLinear(colors::bodySpecular.r));
        lit.setUniformValue("shininess", shininess);
        setColor(lit, "overhangColor", colors::overhang);

        // Closed solids: their back faces never show. The faces step back a little in depth
        // so that the creases drawn on them stay visible at grazing angles too.
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glFrontFace(GL_CCW);
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(1, 1);
        const double radius =
            frame.bodiesBox.isEmpty() ? 0 : (frame.bodiesBox.hi - frame.bodiesBox.lo).length() / 2;
        for (const Mesh& m : gpu_->meshes) {
            lit.setUniformValue("color", toLinear(m.color.r), toLinear(m.color.g),
                                toLinear(m.color.b));
            std::vector<GLfloat> planes, colors, tols;
            for (const FaceHighlight& f : gpu_->faceTints) {
                if (f.face.id != m.id || tols.size() >= size_t(maxFaceTints)) continue;
                planes.insert(planes.end(), {float(f.face.n.x), float(f.face.n.y),
                                             float(f.face.n.z), float(f.face.w)});
                colors.insert(colors.end(), {float(f.color.r), float(f.color.g), float(f.color.b),
                                             float(f.color.a)});
                // Single precision holds about 7 digits of the coordinates.
                tols.push_back(float(1e-4 + 2e-6 * (radius + std::abs(f.face.w))));
            }
            const int count = static_cast<int>(tols.size());
            lit.setUniformValue("tintCount", count);
            if (count > 0) {
                lit.setUniformValueArray("tintPlane", planes.data(), count, 4);
                lit.setUniformValueArray("tintColor", colors.data(), count, 4);
                lit.setUniformValueArray("tintTol", tols.data(), count, 1);
            }
            glBindVertexArray(m.triVao);
            glDrawArrays(GL_TRIANGLES, 0, m.triVertices);
        }
        glDisable(GL_POLYGON_OFFSET_FILL);
        glDisable(GL_CULL_FACE);
    }

    // Besides their push along the surface normal, creases come forward by the same amount:
    // a bottom edge on the ground would otherwise fight with the grid line under it.
    QOpenGLShaderProgram& line = bindLines(frame, mvp, float(edgeOffset(frame.bodiesBox)));
    setColor(line, "color", colors::bodyEdges);
    for (const Mesh& m : gpu_->meshes) {
        glBindVertexArray(m.edgeVao);
        glDrawArrays(GL_TRIANGLES, 0, m.edgeVertices);
    }
    glDisable(GL_BLEND);
}

void Renderer::drawPlanes(const Frame& frame, const std::array<float, 16>& mvp) {
    if (!frame.planesShown) return;
    QOpenGLShaderProgram* program = bindFlat(frame, mvp);
    if (!program) return;
    QOpenGLShaderProgram& flat = *program;
    glBindVertexArray(gpu_->planeVao);
    // Translucent and not writing depth, so whatever lies behind a plane stays visible.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    const auto& planes = originPlanes();
    for (size_t i = 0; i < planes.size(); ++i) {
        const bool hovered = frame.hoverPlane == planes[i].name;
        setColor(flat, "color", hovered ? colors::planeHovered : colors::plane);
        glDrawArrays(GL_TRIANGLE_FAN, static_cast<GLint>(i * 4), 4);
    }
    glDepthMask(GL_TRUE);
    QOpenGLShaderProgram& line = bindLines(frame, mvp, 0);
    setColor(line, "color", colors::planeOutline);
    glBindVertexArray(gpu_->outlineVao);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(planes.size() * 4 * 6));
    glDisable(GL_BLEND);
}

}  // namespace ivo
