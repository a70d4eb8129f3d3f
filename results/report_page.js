// Draws a report page's charts from the data the page holds (the element
// #qm-data), with the embedded chart library, and tells a reader of
// window.qmReport what it drew. The page loads nothing: everything it shows is
// in the file.
(function () {
  'use strict';
  var report = { done: false, firstChartMs: null, charts: [] };
  window.qmReport = report;
  var data = JSON.parse(document.getElementById('qm-data').textContent);

  // Curves tell apart without colour too: each has a dash pattern and a
  // number of its own, shown in the legend and beside its p50 and p99 marks.
  var strokes = ['#1f4e9c', '#b3261e', '#2e7d32', '#6a3d9a', '#a86500', '#37474f', '#00838f', '#ad1457'];
  var dashes = [[], [10, 5], [2, 4], [14, 4, 3, 4], [6, 3], [1, 7], [18, 6], [4, 2, 1, 2]];

  function style(index) {
    return { stroke: strokes[index % strokes.length], dash: dashes[index % dashes.length] };
  }

  function microseconds(value) {
    return value >= 1000 ? (value / 1000).toFixed(2) + ' ms' : value.toFixed(1) + ' us';
  }

  // The p50 and p99 of every curve of a distribution chart: a mark on the
  // curve, labelled with the percentile and the curve's number.
  function markPercentiles(chart) {
    return function (u) {
      var ctx = u.ctx;
      ctx.save();
      ctx.font = Math.round(11 * devicePixelRatio) + 'px sans-serif';
      chart.series.forEach(function (s, k) {
        var look = style(k);
        [['p50', s.p50, 0.5], ['p99', s.p99, 0.99]].forEach(function (mark) {
          var x = u.valToPos(mark[1], 'x', true);
          var y = u.valToPos(mark[2], 'y', true);
          ctx.fillStyle = look.stroke;
          ctx.strokeStyle = '#000';
          ctx.lineWidth = devicePixelRatio;
          ctx.beginPath();
          if (mark[0] === 'p50')
            ctx.arc(x, y, 4 * devicePixelRatio, 0, 2 * Math.PI);
          else
            ctx.rect(x - 4 * devicePixelRatio, y - 4 * devicePixelRatio, 8 * devicePixelRatio, 8 * devicePixelRatio);
          ctx.fill();
          ctx.stroke();
          // p50 labels above the mark, p99 labels below it, so that those
          // of the top of the axis stay inside the chart.
          var dy = mark[0] === 'p50' ? -(6 + 12 * k) : 16 + 12 * k;
          ctx.fillStyle = '#000';
          ctx.fillText(mark[0] + ' (' + (k + 1) + ')', x + 6 * devicePixelRatio, y + dy * devicePixelRatio);
        });
      });
      ctx.restore();
    };
  }

  // Each line of a chart against clients: its number beside its last point.
  function numberLines(chart) {
    return function (u) {
      var ctx = u.ctx;
      ctx.save();
      ctx.font = Math.round(11 * devicePixelRatio) + 'px sans-serif';
      ctx.fillStyle = '#000';
      chart.series.forEach(function (s, k) {
        for (var i = s.y.length - 1; i >= 0; --i) {
          if (s.y[i] === null)
            continue;
          var x = u.valToPos(chart.x[i], 'x', true);
          var y = u.valToPos(s.y[i], 'y', true);
          ctx.fillText('(' + (k + 1) + ')', x - 22 * devicePixelRatio, y - 6 * devicePixelRatio);
          break;
        }
      });
      ctx.restore();
    };
  }

  function draw(chart, container) {
    var figure = document.createElement('figure');
    figure.className = 'qm-chart';
    figure.id = chart.id;
    figure.dataset.kind = chart.kind;
    var caption = document.createElement('figcaption');
    caption.textContent = chart.title;
    figure.appendChild(caption);
    container.appendChild(figure);

    var cdf = chart.kind === 'cdf';
    var series = [{ label: chart.xLabel }];
    chart.series.forEach(function (s, k) {
      var look = style(k);
      var label = (k + 1) + ' ' + s.label;
      if (cdf)
        label += ' (p50 ' + microseconds(s.p50) + ', p99 ' + microseconds(s.p99) + ')';
      series.push({
        label: label,
        stroke: look.stroke,
        dash: look.dash,
        width: 2,
        points: { show: !cdf, size: 7 },
        spanGaps: false,
      });
    });
    var options = {
      width: 500,
      height: 300,
      series: series,
      scales: {
        x: { time: false, distr: 3, log: cdf ? 10 : 2 },
        y: cdf ? { range: [0, 1] } : { range: function (u, min, max) { return [0, max * 1.08]; } },
      },
      axes: [
        { label: chart.xLabel },
        { label: chart.yLabel, size: 64 },
      ],
      legend: { live: false },
      cursor: { show: true, points: { show: false } },
      hooks: { draw: [cdf ? markPercentiles(chart) : numberLines(chart)] },
    };
    var values = [chart.x].concat(chart.series.map(function (s) { return s.y; }));
    var plot = new uPlot(options, values, figure);
    report.charts.push({ id: chart.id, kind: chart.kind, title: chart.title, plot: plot });
    if (report.firstChartMs === null)
      report.firstChartMs = performance.now();
  }

  data.charts.forEach(function (chart) {
    var container = document.getElementById(chart.kind === 'cdf' ? 'qm-cdf-charts' : 'qm-sweep-charts');
    draw(chart, container);
  });
  report.done = true;
})();
