// Whether a person can see and reach an element: the judgement a field (and every frame
// element above it) must pass at the moment of a fill. A page can read any field of its own,
// so a password must go only into a field the user sees. Each check names the reason it
// refused; the first few functions are pure and tested on their own.
"use strict";

// eslint-disable-next-line no-unused-vars -- read by login_form.js and the unit tests
const Fillable = (() => {
  const MIN_SIZE_PX = 8; // CSS pixels, both ways
  const MIN_OPACITY = 0.1; // the product of every opacity on the way up
  const MIN_CONTRAST = 1.5; // between the text and the background behind it
  const WHITE = { r: 255, g: 255, b: 255, a: 1 }; // the page's canvas

  // A computed colour ("rgb(…)", "rgba(…)", "transparent"); null for forms this does not read.
  function parseColor(text) {
    if (text === "transparent") return { r: 0, g: 0, b: 0, a: 0 };
    const parts = /^rgba?\(([^)]*)\)$/.exec(text.trim());
    if (!parts) return null;
    const numbers = parts[1]
      .split(/[\s,/]+/)
      .filter(Boolean)
      .map(Number);
    if (numbers.length < 3 || numbers.some(Number.isNaN)) return null;
    const [r, g, b, a = 1] = numbers;
    return { r, g, b, a };
  }

  // `top` painted over the opaque `bottom`.
  const over = (top, bottom) => {
    const mix = (channel) => top[channel] * top.a + bottom[channel] * (1 - top.a);
    return { r: mix("r"), g: mix("g"), b: mix("b"), a: 1 };
  };

  const luminance = ({ r, g, b }) => {
    const linear = (c) => {
      const s = c / 255;
      return s <= 0.03928 ? s / 12.92 : ((s + 0.055) / 1.055) ** 2.4;
    };
    return 0.2126 * linear(r) + 0.7152 * linear(g) + 0.0722 * linear(b);
  };

  // The contrast ratio of two opaque colours, 1 (equal) to 21 (black on white).
  function contrast(a, b) {
    const [light, dark] = [luminance(a), luminance(b)].sort((x, y) => y - x);
    return (light + 0.05) / (dark + 0.05);
  }

  // Text of colour `text` (perhaps translucent) over the opaque `background` can be read.
  const readable = (text, background) =>
    contrast(over(text, background), background) >= MIN_CONTRAST;

  // The factor a computed `filter` multiplies opacity by: its opacity() functions.
  function filterOpacity(filter) {
    let factor = 1;
    for (const [, value, percent] of filter.matchAll(/opacity\(\s*([\d.]+)(%?)\s*\)/g)) {
      factor *= Number(value) / (percent ? 100 : 1);
    }
    return factor;
  }

  // Rectangles as { left, top, right, bottom }; null when they do not overlap.
  function intersect(a, b) {
    const box = {
      left: Math.max(a.left, b.left),
      top: Math.max(a.top, b.top),
      right: Math.min(a.right, b.right),
      bottom: Math.min(a.bottom, b.bottom),
    };
    return box.left < box.right && box.top < box.bottom ? box : null;
  }

  const big = (box) => box.right - box.left >= MIN_SIZE_PX && box.bottom - box.top >= MIN_SIZE_PX;

  // The parent in the rendered tree: through slots and out of shadow roots.
  const renderedParent = (element) =>
    element.assignedSlot ?? element.parentElement ?? element.parentNode?.host ?? null;

  function* selfAndAncestors(element) {
    for (let node = element; node; node = renderedParent(node)) yield node;
  }

  // Only HTML elements host shadow roots; Chromium's call throws for any other, such as an SVG
  // element painted over a field.
  const openOrClosedShadowRoot = (element) =>
    element.namespaceURI === "http://www.w3.org/1999/xhtml"
      ? (globalThis.chrome?.dom?.openOrClosedShadowRoot?.(element) ?? element.shadowRoot)
      : null;

  // The element painted on top at a point, inside shadow roots as well.
  function topmostAt(document, x, y) {
    let top = document.elementFromPoint(x, y);
    for (let root = top && openOrClosedShadowRoot(top); root; root = openOrClosedShadowRoot(top)) {
      const inner = root.elementFromPoint(x, y);
      if (!inner || inner === top) break;
      top = inner;
    }
    return top;
  }

  // The selectors under which `root`'s own style sheets set `pointer-events`, or null when a
  // sheet cannot be read (another origin's) or sets it in a nested or scoped rule, whose
  // selector does not stand alone, or when an animation or transition changes it.
  function pointerEventsSelectors(root) {
    const animated = root
      .getAnimations()
      .some((animation) =>
        animation.effect?.getKeyframes().some((frame) => "pointerEvents" in frame),
      );
    if (animated) return null;
    const selectors = [];
    const visit = (rules, inner) => {
      for (const rule of rules) {
        if ("styleSheet" in rule) {
          if (rule.styleSheet && !visit(rule.styleSheet.cssRules, inner)) return false;
          continue;
        }
        if (rule.style?.getPropertyValue("pointer-events")) {
          if (inner || !("selectorText" in rule)) return false;
          selectors.push(rule.selectorText);
        }
        const nested = "selectorText" in rule || "start" in rule;
        if (rule.cssRules && !visit(rule.cssRules, inner || nested)) return false;
      }
      return true;
    };
    try {
      for (const sheet of [...root.styleSheets, ...root.adoptedStyleSheets]) {
        if (!visit(sheet.cssRules, false)) return null;
      }
    } catch {
      return null;
    }
    return selectors;
  }

  // Elements whose `pointer-events` comes from their `style` or SVG attribute.
  const MARKED = '[style*="pointer-events" i], [pointer-events]';

  const hitRule = (selector) => `${selector} { pointer-events: auto !important }`;

  // The style sheet that makes every element of `root` that could have `pointer-events: none`
  // hit-testable, or null when none could. Named are those the root's own style sheets set it
  // for, under the same selectors, so that the copy, coming later, wins over the page's own
  // rule, `!important` or not; and the elements marked in their attributes, with what
  // inherits from them. Naming them, rather than every element, and staying out of cascade
  // layers (a new layer restyles the whole page) keeps the browser from styling the page anew
  // twice per field. When a sheet cannot be read, every element is named, in a layer of its
  // own that outranks the page's `!important` rules outside layers.
  function hitSheet(root, view) {
    const selectors = pointerEventsSelectors(root);
    let text;
    if (selectors === null) {
      text = `@layer velkaron-hit { ${hitRule("*")} }`;
    } else {
      const marked = root.querySelector(MARKED) ? MARKED.split(", ") : [];
      const all = [...selectors, ...marked.flatMap((m) => [m, `${m} *`])];
      if (all.length === 0) return null;
      // Each rule on its own: a selector this browser does not take drops only its own rule.
      text = all.map(hitRule).join("\n");
    }
    const sheet = new view.CSSStyleSheet();
    sheet.replaceSync(text);
    return sheet;
  }

  // Hit tests skip elements of `pointer-events: none`, but such an element covers a field all
  // the same. For the moment of the hit test every element of the field's document and of the
  // shadow roots around it that could have it takes part (hitSheet). Nothing of the page's
  // code runs in between.
  function withEveryElementHit(element, test) {
    const view = element.ownerDocument.defaultView;
    const adopted = [];
    for (let root = element.getRootNode(); root; root = root.host?.getRootNode()) {
      const sheet = hitSheet(root, view);
      if (sheet) {
        root.adoptedStyleSheets = [...root.adoptedStyleSheets, sheet];
        adopted.push([root, sheet]);
      }
      if (!root.host) break;
    }
    try {
      return test();
    } finally {
      for (const [root, sheet] of adopted) {
        root.adoptedStyleSheets = root.adoptedStyleSheets.filter((other) => other !== sheet);
      }
    }
  }

  // An inline `pointer-events: none !important` outranks even that: such elements are looked
  // at one by one, and one that paints a box over the point covers the field.
  function coveredByInlineNone(element, x, y) {
    const view = element.ownerDocument.defaultView;
    const marked = element.ownerDocument.querySelectorAll('[style*="pointer-events" i]');
    return [...marked].some((other) => {
      if (other === element || other.contains(element) || element.contains(other)) return false;
      const box = other.getBoundingClientRect();
      if (x < box.left || x >= box.right || y < box.top || y >= box.bottom) return false;
      const style = view.getComputedStyle(other);
      const paintsBox =
        (parseColor(style.backgroundColor)?.a ?? 1) >= MIN_OPACITY ||
        style.backgroundImage !== "none" ||
        ["IMG", "CANVAS", "VIDEO", "IFRAME", "svg"].includes(other.tagName);
      return (
        style.pointerEvents === "none" &&
        paintsBox &&
        other.checkVisibility({ opacityProperty: true })
      );
    });
  }

  // Whether the user can scroll the page to the box: it lies inside the page's scrollable
  // area, on an axis the page lets them scroll.
  function scrollsIntoView(view, box) {
    const document = view.document;
    const page = document.scrollingElement ?? document.documentElement;
    const styles = [document.documentElement, document.body]
      .filter(Boolean)
      .map((element) => view.getComputedStyle(element));
    const scrolls = (axis) =>
      !styles.some((style) => ["hidden", "clip"].includes(style[`overflow${axis}`]));
    const left = box.left + view.scrollX;
    const top = box.top + view.scrollY;
    const inPage = left >= 0 && top >= 0 && left < page.scrollWidth && top < page.scrollHeight;
    const needsX = box.right <= 0 || box.left >= view.innerWidth;
    const needsY = box.bottom <= 0 || box.top >= view.innerHeight;
    return inPage && (!needsX || scrolls("X")) && (!needsY || scrolls("Y"));
  }

  // What lies behind the element's text: its own background over those of its ancestors.
  function backgroundBehind(element) {
    const view = element.ownerDocument.defaultView;
    const layers = [];
    for (const node of selfAndAncestors(element)) {
      const color = parseColor(view.getComputedStyle(node).backgroundColor);
      if (!color) return null;
      layers.push(color);
      if (color.a >= 1) break;
    }
    return layers.reduceRight((below, layer) => over(layer, below), WHITE);
  }

  // Null when a person can see and reach `element` in its own frame; otherwise why not:
  // "hidden", "small", "unreadable", "clipped", "outside-viewport" or "covered".
  function judge(element, { text = false } = {}) {
    const view = element.ownerDocument.defaultView;
    const rendered = element.checkVisibility({
      opacityProperty: true,
      visibilityProperty: true,
      contentVisibilityAuto: true,
    });
    if (!rendered) return "hidden";
    const own = element.getBoundingClientRect();
    const box = { left: own.left, top: own.top, right: own.right, bottom: own.bottom };
    if (!big(box)) return "small";

    let opacity = 1;
    let clip = box;
    let clipPath = false;
    for (const node of selfAndAncestors(element)) {
      const style = view.getComputedStyle(node);
      opacity *= Number(style.opacity) * filterOpacity(style.filter);
      if (style.maskImage !== "none" || style.webkitMaskImage !== "none") return "hidden";
      if (style.clipPath !== "none") clipPath = true;
      const clipsOverflow = style.overflowX !== "visible" || style.overflowY !== "visible";
      // The root's and the body's overflow belong to the viewport, judged below.
      const isRoot =
        node === node.ownerDocument.documentElement || node === node.ownerDocument.body;
      if (node !== element && clipsOverflow && !isRoot) {
        const outer = node.getBoundingClientRect();
        const inner = {
          left: outer.left + node.clientLeft,
          top: outer.top + node.clientTop,
          right: outer.left + node.clientLeft + node.clientWidth,
          bottom: outer.top + node.clientTop + node.clientHeight,
        };
        clip = clip && intersect(clip, inner);
      }
    }
    if (opacity < MIN_OPACITY) return "hidden";
    if (!clip || !big(clip)) return "clipped";
    const viewport = { left: 0, top: 0, right: view.innerWidth, bottom: view.innerHeight };
    const visible = intersect(clip, viewport);
    if (!visible || !big(visible))
      return scrollsIntoView(view, clip) ? "outside-viewport" : "hidden";

    if (text) {
      const style = view.getComputedStyle(element);
      const ink = parseColor(style.webkitTextFillColor || style.color);
      const background = backgroundBehind(element);
      if (ink && background && !readable(ink, background)) return "unreadable";
    }

    const width = visible.right - visible.left;
    const height = visible.bottom - visible.top;
    const centre = [visible.left + width / 2, visible.top + height / 2];
    // A clip-path may leave only a sliver about the centre: then every quarter must be there.
    const points = clipPath
      ? [
          centre,
          ...[0.25, 0.75].flatMap((fx) =>
            [0.25, 0.75].map((fy) => [visible.left + width * fx, visible.top + height * fy]),
          ),
        ]
      : [centre];
    const hit = withEveryElementHit(element, () =>
      points.every(([x, y]) => {
        const top = topmostAt(element.ownerDocument, x, y);
        return top === element || element.contains(top);
      }),
    );
    return hit && !coveredByInlineNone(element, ...centre) ? null : "covered";
  }

  // Null when every frame element from `view` up to the top frame passes the same judgement
  // in its parent; "frame" otherwise. A frame of another origin above ends the walk with a
  // refusal: the worker fills only frames whose chain is of one origin.
  function judgeFrames(view) {
    for (let frame = view; frame !== frame.top; frame = frame.parent) {
      let element;
      try {
        element = frame.frameElement;
      } catch {
        return "frame";
      }
      if (!element || judge(element) !== null) return "frame";
    }
    return null;
  }

  return { parseColor, contrast, readable, filterOpacity, intersect, judge, judgeFrames };
})();
