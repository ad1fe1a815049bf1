// The shaders of the view, in GLSL 3.30 core.
#include "viewport/renderer_gpu.h"

namespace ivo {
namespace shaders {

extern const char* const litVertex = R"(#version 330 core
layout(location = 0) in vec3 pos;
layout(location = 1) in vec3 normal;
layout(location = 2) in float overhang;  // 1 on faces that need support, else 0
uniform mat4 mvp;
out vec3 vPos;
out vec3 vNormal;
out float vOverhang;
void main() {
    vPos = pos;
    vNormal = normal;
    vOverhang = overhang;
    gl_Position = mvp * vec4(pos, 1.0);
})";

extern const char* const litFragment = R"(#version 330 core
in vec3 vPos;
in vec3 vNormal;
in float vOverhang;
uniform vec3 color;  // linear
uniform vec4 overhangColor;  // shown colour, and how much of the shading it covers
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
    // The tint keeps some of the shading, so the faces under it still read as a shape.
    shown = mix(shown, overhangColor.rgb * (0.55 + 0.45 * diffuse), overhangColor.a * vOverhang);
    for (int i = 0; i < tintCount; ++i) {
        vec4 p = tintPlane[i];
        if (dot(n, p.xyz) > 0.9999 && abs(dot(vPos, p.xyz) - p.w) <= tintTol[i])
            shown = mix(shown, tintColor[i].rgb, tintColor[i].a);
    }
    frag = vec4(shown, 1.0);
})";

// `lift` moves a point towards the camera: crease lines use it so that they win against a
// face or a grid line lying at the same depth.
extern const char* const flatVertex = R"(#version 330 core
layout(location = 0) in vec3 pos;
uniform mat4 mvp;
uniform vec3 eyePos;
uniform float lift;
void main() { gl_Position = mvp * vec4(pos + normalize(eyePos - pos) * lift, 1.0); })";

// Lines as thin quads across the segment on screen, their edges faded by the distance from
// the centre line: antialiased without multisampling and without the renderer's own line
// smoothing, which costs a software renderer an extra shader. `sideEdge`: x, which way this
// corner moves off the segment as seen from `pos`; y, which side of the line it is on.
extern const char* const lineVertex = R"(#version 330 core
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

extern const char* const lineFragment = R"(#version 330 core
in float across;
uniform vec4 color;
out vec4 frag;
void main() { frag = vec4(color.rgb, color.a * clamp(1.0 - abs(across), 0.0, 1.0)); })";

extern const char* const flatFragment = R"(#version 330 core
uniform vec4 color;
out vec4 frag;
void main() { frag = color; })";

// A full-view strip made from the vertex index, so it needs no buffer.
extern const char* const backgroundVertex = R"(#version 330 core
out float t;
void main() {
    vec2 p = vec2(gl_VertexID % 2 == 0 ? -1.0 : 1.0, gl_VertexID < 2 ? -1.0 : 1.0);
    t = (p.y + 1.0) / 2.0;
    gl_Position = vec4(p, 0.0, 1.0);
})";

extern const char* const backgroundFragment = R"(#version 330 core
in float t;
uniform vec3 bottom;
uniform vec3 top;
out vec4 frag;
void main() { frag = vec4(mix(bottom, top, t), 1.0); })";

}  // namespace shaders

std::unique_ptr<QOpenGLShaderProgram> compileProgram(const char* vertex, const char* fragment) {
    auto p = std::make_unique<QOpenGLShaderProgram>();
    if (!p->addShaderFromSourceCode(QOpenGLShader::Vertex, vertex) ||
        !p->addShaderFromSourceCode(QOpenGLShader::Fragment, fragment) || !p->link())
        return nullptr;
    return p;
}

}  // namespace ivo
