#pragma once

#include <QImage>

#include <cstdlib>
#include <memory>
#include <vector>

// The paper an interpreter draws on: an ink level for every dot (0 none, 255 full), grown as the
// paper is fed, up to a greatest number of rows. Rows come in chunks that never move as the paper
// grows; fresh chunks come zeroed from the system.
class PaperRoll
{
public:
    PaperRoll(int width, int maxRows);

    int maxRows() const { return m_maxRows; }
    // Makes the rows above bottom exist; false beyond the greatest length, which then counts as
    // reached.
    bool reach(int bottom);
    // Whether something went beyond the greatest length and was left off.
    bool runOut() const { return m_runOut; }
    void markRunOut() { m_runOut = true; }

    uchar *row(int y)
    {
        return m_chunks[size_t(y / chunkRows)].get() + size_t(y % chunkRows) * size_t(m_width);
    }
    // Ink of at least level over a rectangle, cut at the paper's edges.
    void ink(int x, int y, int width, int height, uchar level);
    // A Grayscale8 image of ink levels with its lower edge on bottom, each of its dots drawn
    // xScale wide and yScale high; the rows must have been reached.
    void draw(const QImage &ink, int x, int bottom, int xScale = 1, int yScale = 1);
    // The first height rows, white with black dots, in sixteen shades.
    QImage picture(int height);

private:
    static constexpr int chunkRows = 256;
    struct Free
    {
        void operator()(uchar *p) const { std::free(p); }
    };

    const int m_width;
    const int m_maxRows;
    std::vector<std::unique_ptr<uchar[], Free>> m_chunks;
    int m_rows = 0;
    bool m_runOut = false;
};
