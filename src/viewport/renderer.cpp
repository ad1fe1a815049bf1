// OpenGL drawing of the scene. Lighting runs in linear colour space and is encoded back to
// sRGB on output, so shaded sides keep the palette's hue instead of sinking into grey.
#include "viewport/renderer.h"

#include <QOpenGLShaderProgram>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace ivo {
namespace {

const char* const litVertex = R"(#version 330 core
layout(location = 0) in vec3 pos;
layout(location = 1) in vec3 normal;
uniform mat4 mvp;
out vec3 vPos;
out vec3 vNormal;
void main() {
    vPos = pos;
    vNormal = normal;
    gl_Position = mvp * vec4(pos, 1.0);
})";

const char* const litFragment = R"(#version 330 core
in vec3 vPos;
in vec3 vNormal;
uniform vec3 color;  // linear
uniform vec3 eyePos;
uniform vec3 headDir;
uniform vec3 fixedDir;
uniform float headI;
uniform float ambientI;
uniform float fixedI;
uniform float specular;  // linear
uniform float shininess;
// Tinted faces of this body: plane (unit normal, offset), colour with its weight, and how far
// off the plane a fragment may lie (interpolation in single precision).
uniform int tintCount;
uniform vec4 tintPlane[16];
uniform vec4 tintColor[16];
uniform float tintTol[16];
out vec4 frag;
float blinn(vec3 n, vec3 l, vec3 v) { return pow(max(dot(n, normalize(l + v)), 0.0), shininess); }
void main() {
    vec3 n = normalize(vNormal);
    vec3 v = normalize(eyePos - vPos);
    float diffuse = ambientI + headI * max(dot(n, headDir), 0.0)
                  + fixedI * max(dot(n, fixedDir), 0.0);
    float spec = headI * blinn(n, headDir, v) + fixedI * blinn(n, fixedDir, v);
    vec3 lin = color * diffuse + vec3(specular) * spec;
    vec3 shown = pow(clamp(lin, 0.0, 1.0), vec3(1.0 / 2.2));
    for (int i = 0; i < tintCount; ++i) {
        vec4 p = tintPlane[i];
        if (dot(n, p.xyz) > 0.9999 && abs(dot(vPos, p.xyz) - p.w) <= tintTol[i])
            shown = mix(shown, tintColor[i].rgb, tintColor[i].a);
    }
    frag = vec4(shown, 1.0);
})";

// `lift` moves a point towards the camera: crease lines use it so that they win against a
// face or a grid line lying at the same depth.
const char* const flatVertex = R"(#version 330 core
layout(location = 0) in vec3 pos;
uniform mat4 mvp;
uniform vec3 eyePos;
uniform float lift;
void main() { gl_Position = mvp * vec4(pos + normalize(eyePos - pos) * lift, 1.0); })";

// Lines as thin quads across the segment on screen, their edges faded by the distance from
// the centre line: antialiased without multisampling and without the renderer's own line
// smoothing, which costs a software renderer an extra shader. `sideEdge`: x, which way this
// corner moves off the segment as seen from `pos`; y, which side of the line it is on.
const char* const lineVertex = R"(#version 330 core
layout(location = 0) in vec3 pos;
layout(location = 1) in vec3 other;
layout(location = 2) in vec2 sideEdge;
uniform mat4 mvp;
uniform vec3 eyePos;
uniform float lift;
uniform vec2 viewport;
out float across;
vec4 place(vec3 p) { return mvp * vec4(p + normalize(eyePos - p) * lift, 1.0); }
void main() {
    vec4 a = place(pos);
    vec4 b = place(other);
    // A segment reaching behind the near plane is cut where it crosses it.
    float da = a.z + a.w, db = b.z + b.w;
    if (da < 0.0 && db < 0.0) {
        gl_Position = vec4(2.0, 2.0, 2.0, 1.0);
        across = 0.0;
        return;
    }
    if (da < 0.0) a = mix(a, b, da / (da - db));
    if (db < 0.0) b = mix(b, a, db / (db - da));
    vec2 d = (b.xy / b.w - a.xy / a.w) * viewport;
    vec2 n = length(d) > 1e-6 ? normalize(vec2(-d.y, d.x)) : vec2(0.0, 1.0);
    // One pixel each side of the centre: a one-pixel line with its fading edges.
    a.xy += n * sideEdge.x * 2.0 / viewport * a.w;
    gl_Position = a;
    across = sideEdge.y;
})";

const char* const lineFragment = R"(#version 330 core
in float across;
uniform vec4 color;
out vec4 frag;
void main() { frag = vec4(color.rgb, color.a * clamp(1.0 - abs(across), 0.0, 1.0)); })";

const char* const flatFragment = R"(#version 330 core
uniform vec4 color;
out vec4 frag;
void main() { frag = color; })";

// A full-view strip made from the vertex index, so it needs no buffer.
const char* const backgroundVertex = R"(#version 330 core
out float t;
void main() {
    vec2 p = vec2(gl_VertexID % 2 == 0 ? -1.0 : 1.0, gl_VertexID < 2 ? -1.0 : 1.0);
    t = (p.y + 1.0) / 2.0;
    gl_Position = vec4(p, 0.0, 1.0);
})";

const char* const backgroundFragment = R"(#version 330 core
in float t;
uniform vec3 bottom;
uniform vec3 top;
out vec4 frag;
void main() { frag = vec4(mix(bottom, top, t), 1.0); })";

constexpr int kSamples = 4;

constexpr float shininess = 24;

float toLinear(double c) {
    return static_cast<float>(std::pow(c, 2.2));
}

std::unique_ptr<QOpenGLShaderProgram> program(const char* vertex, const char* fragment) {
    auto p = std::make_unique<QOpenGLShaderProgram>();
    if (!p->addShaderFromSourceCode(QOpenGLShader::Vertex, vertex) ||
        !p->addShaderFromSourceCode(QOpenGLShader::Fragment, fragment) || !p->link())
        return nullptr;
    return p;
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

struct Renderer::Mesh {
    Id id = 0;
    GLuint triVao = 0, triVbo = 0, edgeVao = 0, edgeVbo = 0;
    GLsizei triVertices = 0, edgeVertices = 0;
    Rgba color;
    std::shared_ptr<const Solid> solid;
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
            program = ivo::program(vertex, fragment);
        }
        return program.get();
    }
};

struct Renderer::Gpu {
    std::unique_ptr<QOpenGLShaderProgram> line;
    LazyProgram flat{flatVertex, flatFragment, nullptr, false};
    LazyProgram lit{litVertex, litFragment, nullptr, false};
    LazyProgram background{backgroundVertex, backgroundFragment, nullptr, false};
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
    gpu_->line = program(lineVertex, lineFragment);
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

void Renderer::finish(GLuint fbo) {
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glBindVertexArray(0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glUseProgram(0);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glDisable(GL_POLYGON_OFFSET_FILL);
    glDepthMask(GL_TRUE);
}

void Renderer::drawBackground(int width, int height, GLuint target) {
    Gpu& g = *gpu_;
    const Rgba b = colors::backgroundBottom, t = colors::backgroundTop;
    if (!g.software) {
        QOpenGLShaderProgram* program = g.background.get();
        if (!program) return;
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        program->bind();
        program->setUniformValue("bottom", float(b.r), float(b.g), float(b.b));
        program->setUniformValue("top", float(t.r), float(t.g), float(t.b));
        glBindVertexArray(g.emptyVao);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        return;
    }
    // A software renderer turns every shader and every scissored clear into machine code
    // before it first runs it; a plain copy of an image made here needs none.
    if (!g.gradientFbo || g.gradientWidth != width || g.gradientHeight != height) {
        std::vector<std::uint32_t> pixels(size_t(width) * size_t(height));
        const auto channel = [](double c) { return std::uint32_t(std::lround(c * 255)); };
        for (int y = 0; y < height; ++y) {
            const double k = (y + 0.5) / height;  // row 0 is the bottom one
            const std::uint32_t rgba = channel(b.r + (t.r - b.r) * k) |
                                       channel(b.g + (t.g - b.g) * k) << 8 |
                                       channel(b.b + (t.b - b.b) * k) << 16 | 0xffu << 24;
            std::fill_n(pixels.begin() + std::ptrdiff_t(y) * width, width, rgba);
        }
        glDeleteFramebuffers(1, &g.gradientFbo);
        glDeleteTextures(1, &g.gradientTexture);
        glGenTextures(1, &g.gradientTexture);
        glBindTexture(GL_TEXTURE_2D, g.gradientTexture);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     pixels.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glBindTexture(GL_TEXTURE_2D, 0);
        glGenFramebuffers(1, &g.gradientFbo);
        glBindFramebuffer(GL_FRAMEBUFFER, g.gradientFbo);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                               g.gradientTexture, 0);
        g.gradientWidth = width;
        g.gradientHeight = height;
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, g.gradientFbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target);
    glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, target);
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

namespace ivo {

void Renderer::sizeTargets(int width, int height) {
    Gpu& g = *gpu_;
    if (g.keptFbo && g.keptWidth == width && g.keptHeight == height) return;
    glDeleteFramebuffers(1, &g.keptFbo);
    glDeleteTextures(1, &g.keptTexture);
    glGenTextures(1, &g.keptTexture);
    glBindTexture(GL_TEXTURE_2D, g.keptTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);
    glGenFramebuffers(1, &g.keptFbo);
    glBindFramebuffer(GL_FRAMEBUFFER, g.keptFbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, g.keptTexture, 0);
    if (!g.software) {
        glDeleteFramebuffers(1, &g.msFbo);
        glDeleteRenderbuffers(1, &g.msColor);
        glDeleteRenderbuffers(1, &g.msDepth);
        glGenRenderbuffers(1, &g.msColor);
        glBindRenderbuffer(GL_RENDERBUFFER, g.msColor);
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, kSamples, GL_RGBA8, width, height);
        glGenRenderbuffers(1, &g.msDepth);
        glBindRenderbuffer(GL_RENDERBUFFER, g.msDepth);
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, kSamples, GL_DEPTH_COMPONENT24, width,
                                         height);
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
        glGenFramebuffers(1, &g.msFbo);
        glBindFramebuffer(GL_FRAMEBUFFER, g.msFbo);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, g.msColor);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, g.msDepth);
        // A card without multisampled targets of this kind draws like a software renderer.
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            glDeleteFramebuffers(1, &g.msFbo);
            glDeleteRenderbuffers(1, &g.msColor);
            glDeleteRenderbuffers(1, &g.msDepth);
            g.msFbo = g.msColor = g.msDepth = 0;
            g.software = true;
        }
    }
    g.keptWidth = width;
    g.keptHeight = height;
}

bool Renderer::drawKeptImage(GLuint fbo, int width, int height) {
    Gpu& g = *gpu_;
    if (!g.ok || !g.keptFbo || g.keptWidth != width || g.keptHeight != height) return false;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, g.keptFbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo);
    glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    return true;
}

}  // namespace ivo
