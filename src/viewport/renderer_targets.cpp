// The images the renderer draws into and keeps: the multisampled target of graphics cards, the
// kept copy reused while only the overlay changes, and the background gradient.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "viewport/renderer_gpu.h"

namespace ivo {

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
